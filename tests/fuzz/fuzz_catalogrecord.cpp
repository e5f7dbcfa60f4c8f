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
    require(names.size() == records.size());
    require(CatalogRecord::listedModules(records).size() <= records.size());
    float total = 0.0f;
    for (int i = 0; i < records.size(); ++i) {
        const CatalogRecord record(records.at(i));
        require(CatalogRecord::lastPositionNamed(records, names.at(i)) >= i);
        CatalogRecord::lastIdNamed(records, names.at(i));
        record.aorder();
        record.excludeFromList();
        record.hasModules();
        record.title();
        total += CatalogRecord::leadingSize(record.packageSize());
    }
    CatalogRecord::totalSizeText(total);
    CatalogRecord::leadingSize(QString::fromUtf8(body));
    require(CatalogRecord(records.at(records.size())).json().isEmpty());
    return 0;
}
