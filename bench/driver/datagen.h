#pragma once

#include <QString>
#include <QtGlobal>

// Deterministic pseudo-random numbers (xoshiro256**, seeded through splitmix64): the same
// seed always gives the same data, so every run measures the same files.
class Prng
{
public:
    explicit Prng(quint64 seed);
    quint64 next();
    // A number from 0 to bound - 1.
    quint64 below(quint64 bound) { return bound ? next() % bound : 0; }
    // A size around average, from half of it to one and a half times it.
    qint64 around(qint64 average);

private:
    quint64 m_state[4];
};

struct TreeSize
{
    int files = 0;
    int folders = 0;
    qint64 bytes = 0;
};

// A module as its author would pack it: a folder named name below parent holding
// "index.html", HTML pages spread over parts folders below "pages/", and media ("media/",
// about one file in twenty) that no compressor can shrink, which hold four fifths of the
// bytes. With parts >= 1 the folder count is parts + 3.
TreeSize writeModuleTree(const QString &parent, const QString &name, qint64 bytes, int files,
                         int parts, quint64 seed);

// A new version of the module tree below root, as its author would make it by editing some of
// its files: every every-th file, in the order of their paths, gets new content of about its
// size (text for pages, random bytes for media). Returns the files changed.
int changeFiles(const QString &root, int every, quint64 seed);

// A library folder of installed modules: module folders of about a hundred files each and
// the library index, files in all (index included) and about bytes in size.
TreeSize writeLibrary(const QString &folder, qint64 bytes, int files, quint64 seed);

// Text like a health lesson's, for descriptions in catalogue records.
QString lessonText(Prng &random, int words);

// A module of one video: the file "video.mp4" of bytes that no compressor can shrink, in a
// folder named name below parent.
bool writeVideoModule(const QString &parent, const QString &name, qint64 bytes, quint64 seed);
