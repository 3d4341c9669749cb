#include "intXXL.h"

intXXL intXXL::fromInt64(std::int64_t v) {
    return raw(static_cast<std::uint64_t>(v), v < 0 ? 0xFFFFu : 0u);
}

intXXL intXXL::fromUInt64(std::uint64_t v) {
    return raw(v, 0);
}

intXXL intXXL::lowMask(int width) {
    if (width <= 0)
        return intXXL();
    if (width >= bits)
        return raw(~std::uint64_t(0), 0xFFFFu);
    return (fromInt64(1) << width) - fromInt64(1);
}

intXXL intXXL::signExtendedFrom(int width) const {
    if (width <= 0 || width >= bits)
        return *this;
    // Move the variable's sign bit to bit 79, then let the arithmetic shift copy it back down.
    return (*this << (bits - width)) >> (bits - width);
}

intXXL intXXL::operator+(const intXXL &o) const {
    const std::uint64_t lo = m_lo + o.m_lo;
    const unsigned carry = lo < m_lo ? 1u : 0u;
    return raw(lo, static_cast<std::uint16_t>(m_hi + o.m_hi + carry));
}

intXXL intXXL::operator-(const intXXL &o) const {
    const std::uint64_t lo = m_lo - o.m_lo;
    const unsigned borrow = m_lo < o.m_lo ? 1u : 0u;
    return raw(lo, static_cast<std::uint16_t>(m_hi - o.m_hi - borrow));
}

intXXL intXXL::operator<<(int n) const {
    if (n <= 0)
        return *this;
    if (n >= bits)
        return intXXL();
    if (n >= 64)
        return raw(0, static_cast<std::uint16_t>(m_lo << (n - 64)));
    const std::uint16_t hi = static_cast<std::uint16_t>((std::uint32_t(m_hi) << n) | (m_lo >> (64 - n)));
    return raw(m_lo << n, hi);
}

intXXL intXXL::operator>>(int n) const {
    if (n <= 0)
        return *this;
    // The high word sign-extended to 64 bits supplies both the bits moving down and the fill.
    const std::int64_t top = static_cast<std::int16_t>(m_hi);
    if (n >= bits)
        n = bits - 1;
    if (n >= 64)
        return raw(static_cast<std::uint64_t>(top >> (n - 64)), static_cast<std::uint16_t>(top >> 63));
    const std::uint64_t lo = (m_lo >> n) | (n == 0 ? 0 : static_cast<std::uint64_t>(top) << (64 - n));
    return raw(lo, static_cast<std::uint16_t>(top >> n));
}

intXXL intXXL::divSmall(std::uint16_t divisor, std::uint16_t *remainder) const {
    // Long division over the five 16-bit words, most significant first.
    std::uint16_t words[5] = {m_hi, std::uint16_t(m_lo >> 48), std::uint16_t(m_lo >> 32),
                              std::uint16_t(m_lo >> 16), std::uint16_t(m_lo)};
    std::uint32_t rem = 0;
    for (std::uint16_t &w : words) {
        const std::uint32_t cur = (rem << 16) | w;
        w = static_cast<std::uint16_t>(cur / divisor);
        rem = cur % divisor;
    }
    if (remainder)
        *remainder = static_cast<std::uint16_t>(rem);
    const std::uint64_t lo = (std::uint64_t(words[1]) << 48) | (std::uint64_t(words[2]) << 32) |
                             (std::uint64_t(words[3]) << 16) | words[4];
    return raw(lo, words[0]);
}

bool intXXL::operator<(const intXXL &o) const {
    const auto hiA = static_cast<std::int16_t>(m_hi);
    const auto hiB = static_cast<std::int16_t>(o.m_hi);
    if (hiA != hiB)
        return hiA < hiB;
    return m_lo < o.m_lo;
}
