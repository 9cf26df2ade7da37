#pragma once
#include <cstdint>

// Smooth fields over the whole region in stored units, the same for every sheet, so that
// relief, forests and lakes continue across sheet edges.
class Terrain {
public:
    explicit Terrain(uint64_t seed) : m_seed(seed) {}

    double elevation(double x, double y) const; // 0 … 1
    double forest(double x, double y) const;    // wooded where above ForestLevel
    double water(double x, double y) const;     // a lake where above LakeLevel

    static constexpr double ForestLevel = 0.6;
    static constexpr double LakeLevel = 0.7;
    static constexpr double ContourInterval = 25; // metres
    static double metres(double elevation) { return 150 + 1650 * elevation; }

private:
    double fractal(double x, double y, double wavelength, int octaves, uint64_t salt) const;
    double noise(double x, double y, uint64_t salt) const;

    uint64_t m_seed;
};
