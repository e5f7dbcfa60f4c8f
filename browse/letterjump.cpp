#include "browse/letterjump.h"

void LetterJump::letterPicked()
{
    ++m_picks;
    m_jumpPick = 0;
}

void LetterJump::begin(const QString &moduleName)
{
    // Without a pick there is no list to wait for.
    m_jumpPick = m_picks > m_lists ? m_picks : 0;
    m_moduleName = moduleName;
}

bool LetterJump::listArrived()
{
    // A list that no pick asked for must not shift the count of those that follow.
    m_lists = qMin(m_lists + 1, m_picks);
    if (m_jumpPick == 0 || m_lists != m_jumpPick)
        return false;
    m_jumpPick = 0;
    return true;
}
