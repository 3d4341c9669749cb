// An 80-bit two's-complement integer: room for any 64-bit value, signed or unsigned, plus
// enough headroom that a step past either end of a 64-bit range can still be detected and
// compared before it is brought back into range. Deliberately small and Qt-free.
#pragma once

#include <cstdint>

class intXXL {
public:
    static constexpr int bits = 80;

    constexpr intXXL() = default;
    static intXXL fromInt64(std::int64_t v);
    static intXXL fromUInt64(std::uint64_t v);
    // All ones in the lowest `width` bits (0..80), zero above.
    static intXXL lowMask(int width);

    // The lowest 64 bits, as a signed or an unsigned value.
    std::int64_t toInt64() const { return static_cast<std::int64_t>(m_lo); }
    std::uint64_t toUInt64() const { return m_lo; }
    bool isNegative() const { return (m_hi & 0x8000u) != 0; }
    // The value of the lowest `width` bits read as a signed number, extended to 80 bits.
    intXXL signExtendedFrom(int width) const;

    intXXL operator+(const intXXL &o) const;
    intXXL operator-(const intXXL &o) const;
    intXXL operator-() const { return intXXL() - *this; }
    intXXL operator&(const intXXL &o) const { return raw(m_lo & o.m_lo, m_hi & o.m_hi); }
    intXXL operator|(const intXXL &o) const { return raw(m_lo | o.m_lo, m_hi | o.m_hi); }
    intXXL operator~() const { return raw(~m_lo, static_cast<std::uint16_t>(~m_hi)); }
    intXXL operator<<(int n) const;
    // Arithmetic shift: the sign bit is copied in from the left.
    intXXL operator>>(int n) const;
    // Unsigned division of the 80-bit pattern by 1..65535; the remainder goes to *remainder.
    intXXL divSmall(std::uint16_t divisor, std::uint16_t *remainder = nullptr) const;

    bool operator==(const intXXL &o) const { return m_lo == o.m_lo && m_hi == o.m_hi; }
    bool operator!=(const intXXL &o) const { return !(*this == o); }
    // Comparisons are signed.
    bool operator<(const intXXL &o) const;
    bool operator>(const intXXL &o) const { return o < *this; }
    bool operator<=(const intXXL &o) const { return !(o < *this); }
    bool operator>=(const intXXL &o) const { return !(*this < o); }

private:
    static intXXL raw(std::uint64_t lo, std::uint16_t hi) {
        intXXL r;
        r.m_lo = lo;
        r.m_hi = hi;
        return r;
    }

    std::uint64_t m_lo = 0; // words 0..3
    std::uint16_t m_hi = 0; // word 4, carries the sign
};
