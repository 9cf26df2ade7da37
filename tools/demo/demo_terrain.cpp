#include "demo_terrain.h"
#include "demo_random.h"

#include <algorithm>
#include <cmath>

namespace {
double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
double lerp(double a, double b, double t) { return a + (b - a) * t; }
}

double Terrain::noise(double x, double y, uint64_t salt) const
{
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = uint64_t(int64_t(fx)), iy = uint64_t(int64_t(fy));
    const uint64_t key = hashOf(m_seed, salt);
    auto corner = [key](uint64_t cx, uint64_t cy) {
        return double(hashOf(key, hashOf(cx, cy)) >> 11) * 0x1.0p-53;
    };
    const double tx = fade(x - fx), ty = fade(y - fy);
    return lerp(lerp(corner(ix, iy), corner(ix + 1, iy), tx),
                lerp(corner(ix, iy + 1), corner(ix + 1, iy + 1), tx), ty);
}

double Terrain::fractal(double x, double y, double wavelength, int octaves, uint64_t salt) const
{
    double sum = 0, norm = 0, amplitude = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * noise(x / wavelength, y / wavelength, salt * 16 + o);
        norm += amplitude;
        amplitude *= 0.5;
        wavelength *= 0.5;
    }
    return sum / norm;
}

double Terrain::elevation(double x, double y) const
{
    return std::clamp((fractal(x, y, 1400, 5, 1) - 0.5) * 2.4 + 0.5, 0.0, 1.0);
}

double Terrain::forest(double x, double y) const
{
    return fractal(x, y, 520, 4, 2);
}

double Terrain::water(double x, double y) const
{
    // Lakes lie in the lowlands.
    return fractal(x, y, 900, 3, 3) - std::max(0.0, elevation(x, y) - 0.42) * 1.5;
}
