#include "SkyImage.h"

#include "foundation/PortableMath.h"
#include "ProceduralNoise.h"

#include "foundation/Vector3d.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double smoothStep(double a, double b, double x)
{
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

Vector3d mix(const Vector3d& a, const Vector3d& b, double t) { return a + (b - a) * t; }

} // namespace

RgbImage SkyImage::render(int width, int height) const
{
    constexpr double kPi = std::numbers::pi;
    const ProceduralNoise noise(m_seed);
    const Vector3d zenith{0.22, 0.42, 0.78}, horizon{0.72, 0.82, 0.93}, below{0.55, 0.6, 0.55};
    const Vector3d sun = Vector3d{0.5, 0.45, -0.74}.normalized();
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y) {
        const double latitude = 0.5 * kPi - kPi * (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            const double longitude = 2.0 * kPi * (x + 0.5) / width;
            const Vector3d d{portable::cos(latitude) * portable::cos(longitude), portable::sin(latitude),
                             portable::cos(latitude) * portable::sin(longitude)};
            Vector3d colour = d.y >= 0.0 ? mix(horizon, zenith, portable::pow(d.y, 0.6)) : mix(horizon, below, smoothStep(0.0, 0.2, -d.y));
            const double towardsSun = std::max(0.0, d.dot(sun));
            colour += Vector3d{1.0, 0.92, 0.75} * (0.25 * portable::pow(towardsSun, 8.0) + 0.6 * portable::pow(towardsSun, 400.0));
            if (d.y > 0.01) {
                // Where the view ray meets a flat deck at unit height; far points need fewer octaves.
                const double u = d.x / d.y, v = d.z / d.y;
                const double density = noise.fractal2(0.9 * u + 40.0, 0.9 * v + 40.0, 5);
                const double cover = smoothStep(0.5, 0.72, density) * smoothStep(0.03, 0.25, d.y);
                // Thicker cloud is greyer underneath.
                const double shade = 1.0 - 0.35 * smoothStep(0.6, 0.9, density);
                colour = mix(colour, Vector3d{0.97, 0.97, 0.98} * shade, cover);
            }
            image.set(x, y, colour.toVector3f());
        }
    }
    return image;
}
