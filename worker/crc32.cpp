#include "worker/crc32.h"

#include <array>

namespace {

const quint32 polynomial = 0xEDB88320u; // reflected, as zip writes it

using Table = std::array<std::array<quint32, 256>, 16>;

// Sixteen tables let the loop take sixteen bytes per step; archives of gigabytes are checked
// in a fraction of the time their unpacking takes.
constexpr Table makeTables()
{
    Table tables{};
    for (quint32 byte = 0; byte < 256; ++byte) {
        quint32 crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ polynomial : crc >> 1;
        tables[0][byte] = crc;
    }
    for (quint32 byte = 0; byte < 256; ++byte) {
        for (std::size_t t = 1; t < tables.size(); ++t)
            tables[t][byte] = (tables[t - 1][byte] >> 8) ^ tables[0][tables[t - 1][byte] & 0xFF];
    }
    return tables;
}

constexpr Table tables = makeTables();

// Feeding zeros through the register multiplies it by a power of x modulo the polynomial.
// Products of polynomials over GF(2), reflected as the register holds them.
constexpr quint32 multiplyModulo(quint32 a, quint32 b)
{
    quint32 product = 0;
    for (quint32 bit = 1u << 31; bit != 0; bit >>= 1) {
        if (a & bit)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ polynomial : b >> 1;
    }
    return product;
}

// x to the power 2^k, modulo the polynomial, for every k a count of bytes (in bits) can need.
constexpr std::array<quint32, 67> makePowers()
{
    std::array<quint32, 67> powers{};
    powers[0] = 1u << 30; // x itself
    for (std::size_t k = 1; k < powers.size(); ++k)
        powers[k] = multiplyModulo(powers[k - 1], powers[k - 1]);
    return powers;
}

constexpr std::array<quint32, 67> powers = makePowers();

quint32 readLittleEndian32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

} // namespace

void Crc32::update(const char *data, qint64 size)
{
    const uchar *p = reinterpret_cast<const uchar *>(data);
    quint32 crc = m_register;
    while (size >= 16) {
        const quint32 a = readLittleEndian32(p) ^ crc;
        const quint32 b = readLittleEndian32(p + 4);
        const quint32 c = readLittleEndian32(p + 8);
        const quint32 d = readLittleEndian32(p + 12);
        crc = tables[15][a & 0xFF] ^ tables[14][(a >> 8) & 0xFF] ^ tables[13][(a >> 16) & 0xFF] ^
              tables[12][a >> 24] ^ tables[11][b & 0xFF] ^ tables[10][(b >> 8) & 0xFF] ^
              tables[9][(b >> 16) & 0xFF] ^ tables[8][b >> 24] ^ tables[7][c & 0xFF] ^
              tables[6][(c >> 8) & 0xFF] ^ tables[5][(c >> 16) & 0xFF] ^ tables[4][c >> 24] ^
              tables[3][d & 0xFF] ^ tables[2][(d >> 8) & 0xFF] ^ tables[1][(d >> 16) & 0xFF] ^
              tables[0][d >> 24];
        p += 16;
        size -= 16;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ tables[0][(crc ^ *p++) & 0xFF];
    m_register = crc;
}

void Crc32::updateZeros(quint64 count)
{
    // count zero bytes are 8 * count zero bits: multiply by x^(8 * count), one power of two
    // of the exponent at a time.
    quint64 bits = count;
    for (std::size_t k = 3; bits != 0 && k < powers.size(); ++k, bits >>= 1) {
        if (bits & 1)
            m_register = multiplyModulo(powers[k], m_register);
    }
}

quint32 Crc32::of(const QByteArray &data)
{
    Crc32 crc;
    crc.update(data.constData(), data.size());
    return crc.value();
}
