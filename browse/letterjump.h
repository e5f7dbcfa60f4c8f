#pragma once

#include <QString>
#include <QtGlobal>

// Keeps the homepage's jump to the list of its letter. Every letter pick is answered by exactly
// one list, in order (a superseded pick at once, with an empty list), so a jump knows its list
// by its number, however late it comes.
class LetterJump
{
public:
    // A letter was picked; a jump still waiting for an earlier pick's list is given up.
    void letterPicked();
    // A jump to the module named moduleName begins; its letter is the one picked last.
    void begin(const QString &moduleName);
    // A letter's list arrived; true when it is the list a jump waits for, which ends the jump.
    bool listArrived();
    bool waiting() const { return m_jumpPick != 0; }
    QString moduleName() const { return m_moduleName; }

private:
    quint64 m_picks = 0;
    quint64 m_lists = 0;
    quint64 m_jumpPick = 0; // 0 while no jump waits
    QString m_moduleName;
};
