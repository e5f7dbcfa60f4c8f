#include "driver/datagen.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <string>

namespace {

const char *const vocabulary[] = {
    "water",        "soap",    "hands",     "children",  "mother",      "clinic",    "fever",
    "malaria",      "net",     "sleep",     "boil",      "clean",       "drink",     "food",
    "vegetables",   "beans",   "milk",      "baby",      "breast",      "weeks",     "months",
    "signs",        "danger",  "health",    "worker",    "visit",       "family",    "village",
    "school",       "teacher", "latrine",   "wash",      "before",      "after",     "eating",
    "cooking",      "toilet",  "cough",     "breathing", "fast",        "chest",     "pain",
    "medicine",     "tablets", "dose",      "finish",    "course",      "nurse",     "doctor",
    "referral",     "quickly", "always",    "never",     "every",       "day",       "night",
    "mosquito",     "bite",    "dengue",    "standing",  "containers",  "cover",     "empty",
    "salt",         "sugar",   "solution",  "diarrhoea", "dehydration", "thirst",    "sunken",
    "eyes",         "skin",    "pinch",     "slowly",    "wound",       "bandage",   "pressure",
    "bleeding",     "burn",    "cool",      "minutes",   "blister",     "infection", "swelling",
    "vaccine",      "card",    "schedule",  "measles",   "polio",       "tetanus",   "weight",
    "growth",       "chart",   "iron",      "anaemia",   "leafy",       "eggs",      "fish",
    "iodine",       "goitre",  "pregnancy", "antenatal", "birth",       "cord",      "warm",
    "skin-to-skin", "feeding", "teeth",     "brush",     "fluoride",    "smoke",     "stove",
    "window",       "air",     "snake",     "calm",      "still",       "splint",    "transport",
    "the",          "a",       "and",       "to",        "of",          "in",        "is",
    "with",         "for",     "your",      "when",      "if",          "it",        "can",
};
const int vocabularySize = int(sizeof vocabulary / sizeof vocabulary[0]);

void appendWords(std::string &text, Prng &random, int words)
{
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            text += ' ';
        text += vocabulary[random.below(vocabularySize)];
    }
}

bool writeFile(const QString &path, const std::string &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(content.data(), qint64(content.size())) == qint64(content.size());
}

// A lesson page of about size bytes: headings, paragraphs and a list, in plain HTML.
bool writeHtml(const QString &path, qint64 size, quint64 seed)
{
    Prng random(seed);
    std::string page;
    page.reserve(size_t(size) + 256);
    page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    appendWords(page, random, 4);
    page += "</title>\n<link rel=\"stylesheet\" href=\"../style.css\">\n</head>\n<body>\n";
    const std::string closing = "<p><a href=\"../index.html\">Back to the lesson</a></p>\n"
                                "</body>\n</html>\n";
    const size_t target = size_t(qMax<qint64>(size, 0));
    while (page.size() + closing.size() < target) {
        switch (random.below(6)) {
        case 0:
            page += "<h2>";
            appendWords(page, random, 3 + int(random.below(4)));
            page += "</h2>\n";
            break;
        case 1:
            page += "<ul>\n";
            for (int item = 0, items = 2 + int(random.below(4)); item < items; ++item) {
                page += "  <li>";
                appendWords(page, random, 4 + int(random.below(8)));
                page += "</li>\n";
            }
            page += "</ul>\n";
            break;
        default:
            page += "<p>";
            for (int sentence = 0, sentences = 2 + int(random.below(4)); sentence < sentences;
                 ++sentence) {
                appendWords(page, random, 6 + int(random.below(14)));
                page += ". ";
            }
            page += "</p>\n";
            break;
        }
    }
    if (page.size() + closing.size() > target && target > closing.size())
        page.resize(target - closing.size());
    page += closing;
    return writeFile(path, page);
}

// Bytes without any pattern, like compressed pictures and video.
bool writeMedia(const QString &path, qint64 size, quint64 seed)
{
    Prng random(seed);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 left = size; left > 0;) {
        const int chunk = int(qMin<qint64>(left, block.size()));
        quint64 *words = reinterpret_cast<quint64 *>(block.data());
        for (int i = 0; i < (chunk + 7) / 8 && i < block.size() / 8; ++i)
            words[i] = random.next();
        if (file.write(block.constData(), chunk) != chunk)
            return false;
        left -= chunk;
    }
    return true;
}

} // namespace

Prng::Prng(quint64 seed)
{
    for (quint64 &word : m_state) {
        seed += 0x9e3779b97f4a7c15ULL;
        quint64 z = seed;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        word = z ^ (z >> 31);
    }
}

quint64 Prng::next()
{
    const auto rotl = [](quint64 x, int k) { return (x << k) | (x >> (64 - k)); };
    const quint64 result = rotl(m_state[1] * 5, 7) * 9;
    const quint64 t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotl(m_state[3], 45);
    return result;
}

qint64 Prng::around(qint64 average)
{
    return average / 2 + qint64(below(quint64(qMax<qint64>(average, 1))));
}

TreeSize writeModuleTree(const QString &parent, const QString &name, qint64 bytes, int files,
                         int parts, quint64 seed)
{
    TreeSize size;
    const QString root = parent + QLatin1Char('/') + name;
    QStringList partFolders;
    for (int part = 1; part <= qMax(parts, 1); ++part)
        partFolders << QStringLiteral("pages/part%1").arg(part, 2, 10, QLatin1Char('0'));
    QDir().mkpath(root + QStringLiteral("/media"));
    for (const QString &folder : qAsConst(partFolders))
        QDir().mkpath(root + QLatin1Char('/') + folder);
    size.folders = 3 + partFolders.size();

    const int media = qMax(1, files / 20);
    const int pages = qMax(1, files - media);
    const qint64 mediaAverage = bytes * 4 / 5 / media;
    const qint64 pageAverage = bytes / 5 / pages;
    Prng random(seed);
    for (int i = 0; i < files; ++i) {
        QString path;
        qint64 length = 0;
        bool written = false;
        if (i < media) {
            static const char *const kinds[] = {"photo-%1.jpg", "clip-%1.mp4", "chart-%1.png"};
            path = root + QStringLiteral("/media/") +
                   QString::fromLatin1(kinds[i % 3]).arg(i, 3, 10, QLatin1Char('0'));
            length = random.around(mediaAverage);
            written = writeMedia(path, length, random.next());
        } else {
            const int page = i - media;
            path = page == 0
                       ? root + QStringLiteral("/index.html")
                       : root + QLatin1Char('/') + partFolders.at(page % partFolders.size()) +
                             QStringLiteral("/lesson-%1.html").arg(page, 4, 10, QLatin1Char('0'));
            length = random.around(pageAverage);
            written = writeHtml(path, length, random.next());
        }
        if (!written)
            qFatal("cannot write %s", qPrintable(path));
        size.bytes += QFileInfo(path).size();
        ++size.files;
    }
    return size;
}

int changeFiles(const QString &root, int every, quint64 seed)
{
    QStringList paths;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    Prng random(seed);
    int changed = 0;
    // From the middle of the first stretch, so that media files, which sort before the pages,
    // are among those changed.
    for (int i = qMax(1, every) / 2; i < paths.size(); i += qMax(1, every)) {
        const QString &path = paths.at(i);
        const qint64 length = random.around(QFileInfo(path).size());
        const bool written = path.endsWith(QLatin1String(".html"))
                                 ? writeHtml(path, length, random.next())
                                 : writeMedia(path, length, random.next());
        if (!written)
            qFatal("cannot write %s", qPrintable(path));
        ++changed;
    }
    return changed;
}

TreeSize writeLibrary(const QString &folder, qint64 bytes, int files, quint64 seed)
{
    TreeSize size;
    QDir().mkpath(folder);
    const int moduleFiles = qMax(1, files - 1);
    const int modules = qMax(1, (moduleFiles + 99) / 100);
    Prng random(seed);
    std::string index;
    for (int module = 0; module < modules; ++module) {
        const int first = moduleFiles * module / modules;
        const int count = moduleFiles * (module + 1) / modules - first;
        const QString id = QStringLiteral("module-%1").arg(module + 1, 3, 10, QLatin1Char('0'));
        const TreeSize part =
            writeModuleTree(folder, id, bytes * count / moduleFiles, count, 1, random.next());
        size.files += part.files;
        size.folders += part.folders;
        size.bytes += part.bytes;

        QJsonObject record;
        record.insert(QStringLiteral("_id"), id);
        record.insert(QStringLiteral("name"), QStringLiteral("Module %1").arg(module + 1));
        record.insert(QStringLiteral("description"), lessonText(random, 20));
        record.insert(QStringLiteral("version"), QStringLiteral("1.0"));
        record.insert(QStringLiteral("packageSize"),
                      QStringLiteral("%1 MB").arg(double(part.bytes) / 1e6, 0, 'f', 2));
        index += QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString();
        index += '\n';
    }
    const QString indexPath = folder + QStringLiteral("/tavro-modules.txt");
    if (!writeFile(indexPath, index))
        qFatal("cannot write %s", qPrintable(indexPath));
    size.files += 1;
    size.bytes += qint64(index.size());
    return size;
}

QString lessonText(Prng &random, int words)
{
    std::string text;
    appendWords(text, random, words);
    if (!text.empty())
        text[0] = char(toupper(text[0]));
    text += '.';
    return QString::fromStdString(text);
}

bool writeVideoModule(const QString &parent, const QString &name, qint64 bytes, quint64 seed)
{
    const QString folder = parent + QLatin1Char('/') + name;
    return QDir().mkpath(folder) && writeMedia(folder + QStringLiteral("/video.mp4"), bytes, seed);
}
