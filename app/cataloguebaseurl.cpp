#include "transfer/cataloguebaseurl.h"

QString catalogueBaseUrl()
{
    return QStringLiteral(CATALOGUE_BASE_URL);
}
