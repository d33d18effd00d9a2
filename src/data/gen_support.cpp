#include "gen_support.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gen {

double round12(double value) {
    // A correctly rounded print to 12 places and a correctly rounded parse
    // give the double nearest to the rounded decimal.
    char text[64];
    std::snprintf(text, sizeof text, "%.12f", value);
    const double rounded = std::strtod(text, nullptr);
    return rounded == 0.0 ? 0.0 : rounded;
}

double smoothstep(double w) { return (3.0 - (w + w)) * (w * w); }

double ease_between(double from, double to, double w) {
    return (to - from) * smoothstep(std::clamp(w, 0.0, 1.0)) + from;
}

Rows sample_curve(int period, const std::function<Row(double t)>& curve) {
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        rows[static_cast<std::size_t>(p)] = curve(phase_angle(p, period));
    }
    return rows;
}

Rows sample_scaled_curve(int period, int scale_points, double target,
                         const std::function<Row(double t)>& curve) {
    double largest = 0.0;
    for (int i = 0; i < scale_points; ++i) {
        const Row r = curve(kTwoPi * static_cast<double>(i) / static_cast<double>(scale_points));
        largest = std::max({largest, std::fabs(r.x), std::fabs(r.y), std::fabs(r.z)});
    }
    const double scale = target / largest;
    return sample_curve(period, [&](double t) {
        const Row r = curve(t);
        return Row{scale * r.x, scale * r.y, scale * r.z};
    });
}

double cyclic_delta(double from, double to, double period) {
    double d = std::fmod(to - from, period);
    if (d <= -period / 2) d += period;
    if (d > period / 2) d -= period;
    return d;
}

double bump(double pip, double centre, double half_width, double period) {
    const double d = std::fabs(cyclic_delta(centre, pip, period));
    if (d >= half_width) return 0.0;
    return 0.5 * (1.0 + std::cos(kPi * d / half_width));
}

double lopsided_bump(double pip, double centre, double rise, double fall, double period) {
    const double d = cyclic_delta(centre, pip, period);
    return bump(pip, centre, d < 0.0 ? rise : fall, period);
}

Rows rows_from_lanes(int period, const std::vector<double>& x, const std::vector<double>& y,
                     const std::vector<double>& z) {
    Rows rows(static_cast<std::size_t>(period));
    for (std::size_t p = 0; p < rows.size(); ++p) {
        rows[p] = {x.empty() ? 0.0 : x[p], y.empty() ? 0.0 : y[p], z.empty() ? 0.0 : z[p]};
    }
    return rows;
}

double render_score(double pip, const std::vector<Onset>& score, double half_width,
                    double period) {
    double sum = 0.0;
    for (const Onset& onset : score) {
        sum += onset.accent * onset.side * bump(pip, onset.pip, half_width, period);
    }
    return sum;
}

std::vector<double> render_score_lane(const std::vector<Onset>& score, double half_width,
                                      int period) {
    std::vector<double> lane(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        lane[static_cast<std::size_t>(p)] =
            render_score(p, score, half_width, static_cast<double>(period));
    }
    return lane;
}

std::vector<bool> euclidean_steps(int onsets, int steps) {
    // Bjorklund's algorithm: repeatedly pair the remainder sequences with the
    // leading ones until at most one remainder is left.
    std::vector<std::vector<bool>> heads(static_cast<std::size_t>(onsets), std::vector<bool>{true});
    std::vector<std::vector<bool>> tails(static_cast<std::size_t>(steps - onsets),
                                         std::vector<bool>{false});
    while (tails.size() > 1) {
        const std::size_t pairs = std::min(heads.size(), tails.size());
        std::vector<std::vector<bool>> joined;
        for (std::size_t i = 0; i < pairs; ++i) {
            std::vector<bool> seq = heads[i];
            seq.insert(seq.end(), tails[i].begin(), tails[i].end());
            joined.push_back(std::move(seq));
        }
        std::vector<std::vector<bool>> rest;
        if (heads.size() > pairs) {
            rest.assign(heads.begin() + static_cast<std::ptrdiff_t>(pairs), heads.end());
        } else {
            rest.assign(tails.begin() + static_cast<std::ptrdiff_t>(pairs), tails.end());
        }
        heads = std::move(joined);
        tails = std::move(rest);
    }
    std::vector<bool> pattern;
    for (const auto& seq : heads) pattern.insert(pattern.end(), seq.begin(), seq.end());
    for (const auto& seq : tails) pattern.insert(pattern.end(), seq.begin(), seq.end());
    // Rotate so the phrase starts on an onset.
    const auto first = std::find(pattern.begin(), pattern.end(), true);
    std::rotate(pattern.begin(), first, pattern.end());
    return pattern;
}

namespace {

Row lerp_row(const Row& a, const Row& b, double s) {
    return {(b.x - a.x) * s + a.x, (b.y - a.y) * s + a.y, (b.z - a.z) * s + a.z};
}

}  // namespace

Rows keyframe_path(const std::vector<Key>& keys, int period) {
    Rows rows(static_cast<std::size_t>(period));
    const std::size_t n = keys.size();
    for (int p = 0; p < period; ++p) {
        // The segment that starts at the last key at or before p (wrapping).
        std::size_t i = n - 1;
        for (std::size_t k = 0; k < n; ++k) {
            if (keys[k].pip <= p) i = k;
        }
        const Key& a = keys[i];
        const Key& b = keys[(i + 1) % n];
        double span = b.pip - a.pip;
        double local = p - a.pip;
        if (span <= 0) span += period;
        if (local < 0) local += period;
        rows[static_cast<std::size_t>(p)] = lerp_row(a.at, b.at, smoothstep(local / span));
    }
    return rows;
}

Rows closed_spline(const std::vector<Key>& keys, int period) {
    const std::size_t n = keys.size();
    auto time_of = [&](std::ptrdiff_t k) {
        // Knot time of key k with whole loops added for indices outside 0..n-1.
        const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(n);
        std::ptrdiff_t loops = k >= 0 ? k / size : -((-k + size - 1) / size);
        const std::ptrdiff_t idx = k - loops * size;
        return keys[static_cast<std::size_t>(idx)].pip + static_cast<double>(loops) * period;
    };
    auto point_of = [&](std::ptrdiff_t k) {
        const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(n);
        return keys[static_cast<std::size_t>(((k % size) + size) % size)].at;
    };
    // Tangent at key k: the finite-difference slope across its neighbours.
    auto tangent = [&](std::ptrdiff_t k) {
        const Row a = point_of(k - 1);
        const Row b = point_of(k + 1);
        const double dt = time_of(k + 1) - time_of(k - 1);
        return Row{(b.x - a.x) / dt, (b.y - a.y) / dt, (b.z - a.z) / dt};
    };
    Rows rows(static_cast<std::size_t>(period));
    for (int p = 0; p < period; ++p) {
        std::ptrdiff_t i = static_cast<std::ptrdiff_t>(n) - 1;
        for (std::size_t k = 0; k < n; ++k) {
            if (keys[k].pip <= p) i = static_cast<std::ptrdiff_t>(k);
        }
        if (keys[0].pip > p) i = -1;  // before the first key: segment from the last key
        const double t0 = time_of(i);
        const double t1 = time_of(i + 1);
        const double h = t1 - t0;
        const double s = (p - t0) / h;
        const Row p0 = point_of(i), p1 = point_of(i + 1);
        const Row m0 = tangent(i), m1 = tangent(i + 1);
        const double h00 = 2 * s * s * s - 3 * s * s + 1;
        const double h10 = s * s * s - 2 * s * s + s;
        const double h01 = -2 * s * s * s + 3 * s * s;
        const double h11 = s * s * s - s * s;
        rows[static_cast<std::size_t>(p)] = {
            h00 * p0.x + h10 * h * m0.x + h01 * p1.x + h11 * h * m1.x,
            h00 * p0.y + h10 * h * m0.y + h01 * p1.y + h11 * h * m1.y,
            h00 * p0.z + h10 * h * m0.z + h01 * p1.z + h11 * h * m1.z,
        };
    }
    return rows;
}

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

constexpr std::uint32_t rotr(std::uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

}  // namespace

std::array<std::uint8_t, 32> sha256(std::string_view message) {
    std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<std::uint8_t> data(message.begin(), message.end());
    const std::uint64_t bit_length = static_cast<std::uint64_t>(message.size()) * 8;
    data.push_back(0x80);
    while (data.size() % 64 != 56) data.push_back(0);
    for (int i = 7; i >= 0; --i) data.push_back(static_cast<std::uint8_t>(bit_length >> (8 * i)));

    for (std::size_t block = 0; block < data.size(); block += 64) {
        std::array<std::uint32_t, 64> w{};
        for (std::size_t i = 0; i < 16; ++i) {
            const std::uint8_t* b = &data[block + 4 * i];
            w[i] = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                   (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
        }
        for (std::size_t i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::array<std::uint32_t, 8> v = h;
        for (std::size_t i = 0; i < 64; ++i) {
            const std::uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
            const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const std::uint32_t t1 = v[7] + s1 + choice + kRoundConstants[i] + w[i];
            const std::uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
            const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            const std::uint32_t t2 = s0 + majority;
            v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
        }
        for (std::size_t i = 0; i < 8; ++i) h[i] += v[i];
    }
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(h[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

double hashed_unit(std::string_view key) {
    const auto digest = sha256(key);
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits = (bits << 8) | digest[i];
    // 53 high bits give a uniform double in [0, 1), mapped onto [-1, 1).
    const double unit = static_cast<double>(bits >> 11) * 0x1.0p-53;
    return 2.0 * unit - 1.0;
}

}  // namespace gen
