// Catalogue records as the service sends them, read the lenient way the views read them.

#include "browse/catalogrecord.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    const QJsonArray records = QJsonDocument::fromJson(body).array();

    const QStringList names = CatalogRecord::names(records);
    const QStringList ids = CatalogRecord::ids(records);
    require(names.size() == records.size() && ids.size() == records.size());
    require(CatalogRecord::listedModules(records).size() <= records.size());
    CatalogRecord::totalSizeText(CatalogRecord::totalPackageSize(records));
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject record = CatalogRecord::recordAt(records, i);
        require(CatalogRecord::lastPositionNamed(records, names.at(i)) >= i);
        CatalogRecord::lastIdNamed(records, names.at(i));
        CatalogRecord::readWholeNumber(record, QStringLiteral("aorder"));
        CatalogRecord::holdsNumber(record, QStringLiteral("aorder"), 1);
        CatalogRecord::readBoolean(record, QStringLiteral("excludeFromList"));
        CatalogRecord::readArray(record, QStringLiteral("topics"));
        CatalogRecord::leadingSize(
            CatalogRecord::readString(record, QStringLiteral("packageSize")));
    }
    CatalogRecord::leadingSize(QString::fromUtf8(body));
    require(CatalogRecord::recordAt(records, records.size()).isEmpty());
    return 0;
}
