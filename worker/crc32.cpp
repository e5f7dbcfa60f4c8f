#include "worker/crc32.h"

#include <array>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define CORVELLE_CRC32_CLMUL 1
#endif

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

quint32 readLittleEndian32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

#ifdef CORVELLE_CRC32_CLMUL
#define CORVELLE_CLMUL __attribute__((target("pclmul,sse4.1")))

CORVELLE_CLMUL __m128i load(const uchar *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

// x times the two halves of k, folded onto next.
CORVELLE_CLMUL __m128i fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Carry-less multiplication folds 64 bytes a step into four 128-bit remainders, then into one,
// then reduces that to 32 bits (Gopal et al., "Fast CRC Computation for Generic Polynomials
// Using PCLMULQDQ Instruction", Intel, 2009, with the constants of the reflected polynomial):
// several times as fast as the tables. size is a multiple of 16, at least 64.
CORVELLE_CLMUL quint32 foldedCrc(quint32 crc, const uchar *p, qint64 size)
{
    const __m128i fold64 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i fold16 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i fold8 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    for (p += 64, size -= 64; size >= 64; p += 64, size -= 64) {
        x1 = fold(x1, fold64, load(p));
        x2 = fold(x2, fold64, load(p + 16));
        x3 = fold(x3, fold64, load(p + 32));
        x4 = fold(x4, fold64, load(p + 48));
    }
    x1 = fold(fold(fold(x1, fold16, x2), fold16, x3), fold16, x4);
    for (; size >= 16; p += 16, size -= 16)
        x1 = fold(x1, fold16, load(p));

    // 128 bits to 64, to 32.
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, fold16, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x1, low32), fold8, 0x00));
    __m128i reduced = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    reduced = _mm_clmulepi64_si128(_mm_and_si128(reduced, low32), barrett, 0x00);
    return quint32(_mm_extract_epi32(_mm_xor_si128(x1, reduced), 1));
}

bool canFold()
{
    static const bool supported =
        __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}
#endif

} // namespace

void Crc32::update(const char *data, qint64 size)
{
    const uchar *p = reinterpret_cast<const uchar *>(data);
    quint32 crc = m_register;
#ifdef CORVELLE_CRC32_CLMUL
    if (size >= 64 && canFold()) {
        const qint64 folded = size & ~qint64(15);
        crc = foldedCrc(crc, p, folded);
        p += folded;
        size -= folded;
    }
#endif
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

quint32 Crc32::of(const QByteArray &data)
{
    Crc32 crc;
    crc.update(data.constData(), data.size());
    return crc.value();
}
