#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "library/libraryindex.h"
#include "library/libraryrow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QHeaderView>

namespace {

const int columnWidths[] = {25, 550, 50, 70, 150};
const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
const Qt::Alignment columnAlignments[] = {centred, left, centred, centred, left};

// What never changes is set once, since setting a style sheet or header labels again restyles
// the whole table or makes new header items each time.
void setUpColumns(QTableWidget *table)
{
    table->setColumnCount(5);
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    table->setHorizontalHeaderLabels(
        QCoreApplication::translate("MainWindow", ";Name;Version;Size;Id").split(QLatin1Char(';')));
    table->horizontalHeader()->setStretchLastSection(true);
    // The style's own minimum would widen the narrow check box column.
    table->horizontalHeader()->setMinimumSectionSize(columnWidths[0]);
    table->setAlternatingRowColors(true);
    table->setStyleSheet(QStringLiteral("alternate-background-color: #e2f0d9;"));
    table->horizontalHeader()->setFixedHeight(25);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QFont headerFont(QStringLiteral("Helvetica"), 8, 75, false);
    for (int column = 0; column < 5; ++column) {
        QTableWidgetItem *header = table->horizontalHeaderItem(column);
        header->setTextAlignment(column == 1 || column == 4 ? left : centred);
        header->setFont(headerFont);
    }
}

// Makes the rows anew when their number changed; true then.
bool setUpTable(QTableWidget *table, int rows)
{
    const bool anew = table->rowCount() != rows || table->columnCount() != 5;
    if (anew) {
        table->clearContents();
        table->setRowCount(rows);
    }
    if (table->columnCount() != 5)
        setUpColumns(table);
    // The columns take their widths again at every refresh, even after the user dragged them.
    for (int column = 0; column < 5; ++column)
        table->setColumnWidth(column, columnWidths[column]);
    return anew;
}

// Writes the items of the row whose texts differ from data's (all of them for a row made anew;
// none for a line that is not a record) and ticks it as data is flagged; true when a text
// changed, and with it perhaps the row's height.
bool writeRow(QTableWidget *table, int row, const LibraryRow &data)
{
    const QString texts[] = {QString(), data.nameText(), data.version, data.size, data.id};
    bool changed = false;
    for (int column = 0; column < 5; ++column) {
        const QTableWidgetItem *item = table->item(row, column);
        if (!data.isRecord) {
            changed = changed || item != nullptr;
            delete table->takeItem(row, column);
            continue;
        }
        if (item && item->text() == texts[column])
            continue;
        auto *written = new QTableWidgetItem(texts[column]);
        written->setTextAlignment(columnAlignments[column]);
        table->setItem(row, column, written);
        changed = true;
    }
    if (data.isRecord)
        table->item(row, 0)->setCheckState(data.flagged() ? Qt::Checked : Qt::Unchecked);
    return changed;
}

} // namespace

void MainWindow::updateModuleTable()
{
    qDebug() << "updateModuleTable() Called";
    // One read serves both the row count and the rows.
    QVector<LibraryIndex::Line> lines;
    const LibraryIndex::Result read =
        LibraryIndex::read(settings.value(QStringLiteral("moduleDirectory")).toString(), &lines);
    if (!read.ok)
        qDebug().noquote() << read.error;

    QTableWidget *table = ui->moduleTable;
    const bool anew = setUpTable(table, lines.size());
    const QVector<LibraryRow> rows =
        libraryRows(lines, topicModuleArray, m_topicModuleArrayIds, m_damagedFiles);
    // A new list usually changes few rows, if any: only those are written and measured again,
    // since measuring thousands of rows costs as much as showing the list. A line that is not a
    // record keeps its place as an empty row.
    for (int row = 0; row < rows.size(); ++row) {
        if (writeRow(table, row, rows.at(row)) && !anew)
            table->resizeRowToContents(row);
    }
    if (anew)
        table->resizeRowsToContents();
}

void MainWindow::checkLibrary(const QStringList &moduleIds)
{
    emit checkInstalled(InstalledCheck{
        settings.value(QStringLiteral("moduleDirectory")).toString(), moduleIds, {}});
}

void MainWindow::installedChecked(InstalledCheck check)
{
    // Modules checked now replace what an earlier check said of them; a check of every module
    // forgets modules that have gone from the index.
    const QHash<QString, int> before = m_damagedFiles;
    if (check.moduleIds.isEmpty())
        m_damagedFiles.clear();
    for (const QString &id : qAsConst(check.moduleIds))
        m_damagedFiles.remove(id);
    for (auto module = check.damaged.cbegin(); module != check.damaged.cend(); ++module) {
        if (module.value() > 0)
            m_damagedFiles.insert(module.key(), module.value());
    }
    // A sound library, the usual answer, leaves the table as it stands: rebuilding thousands of
    // rows would cost as much as the list that filled it.
    if (m_damagedFiles != before)
        updateModuleTable();
}

void MainWindow::updateCheckedModules()
{
    updateModuleIds.clear();
    QTableWidget *table = ui->moduleTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *check = table->item(row, 0);
        const QTableWidgetItem *id = table->item(row, 4);
        if (check && check->checkState() == Qt::Checked)
            updateModuleIds.append(id ? id->text() : QString());
    }
    updateModules();
}

void MainWindow::updateModules()
{
    if (updateModuleIds.isEmpty()) {
        ui->updateModuleLabel->setText(QString());
        return;
    }
    updateModule(updateModuleIds.takeFirst());
}
