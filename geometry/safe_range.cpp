#include "geometry/safe_range.h"

#include <algorithm>
#include <cmath>

namespace {

double largestMagnitude(const std::vector<Vertex>& points) {
    double largest = 0;
    for (const Vertex& p : points) largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    return largest;
}

}  // namespace

int safeScaleExponent(double largest) {
    if (largest == 0) return 0;
    const int exponent = std::ilogb(largest);  // largest is in [2^e, 2^(e+1))
    if (exponent >= -safeRangeExponent && exponent < safeRangeExponent) return 0;
    return -exponent;
}

int scaleIntoSafeRange(std::vector<Vertex>& points) {
    const int exponent = safeScaleExponent(largestMagnitude(points));
    if (exponent != 0)
        for (Vertex& p : points) p = {std::ldexp(p.x, exponent), std::ldexp(p.y, exponent), std::ldexp(p.z, exponent)};
    return exponent;
}

double unitScale(const std::vector<Vertex>& points) {
    const double largest = largestMagnitude(points);
    return largest > 0 ? std::ldexp(1.0, -std::ilogb(largest) - 1) : 1.0;
}
