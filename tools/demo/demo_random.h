#pragma once
#include <cstdint>

// Our own generator and hashes: the standard distributions differ between libraries, and a
// seed must give the same region everywhere.
inline uint64_t mixBits(uint64_t x)
{
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline uint64_t hashOf(uint64_t a, uint64_t b)
{
    return mixBits(a + 0x9E3779B97F4A7C15ull * (mixBits(b) + 1));
}

class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(mixBits(seed)) {}
    uint64_t next() { return mixBits(m_state += 0x9E3779B97F4A7C15ull); }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return n <= 1 ? 0 : int(next() % uint64_t(n)); }
    bool chance(double p) { return uniform() < p; }

private:
    uint64_t m_state;
};
