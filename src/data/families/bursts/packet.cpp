// packet_: n short oscillation packets spread evenly round an eight-beat
// phrase, each a wobble of n cycles per beat (three for five packets) under a
// flat-topped window with raised-cosine edges, so the point sets off and comes
// back to rest smoothly and holds still between packets.
// A side motion shaped by the same window places the packets: alternating left
// and right, cascading down and across, crossing the centre in turn, or (in 3-D)
// wobbling through depth.
#include <cmath>
#include <string>
#include <vector>

#include "families.hpp"

namespace gen {
namespace {

constexpr int kPeriod = 512;
// A packet fills this share of its slot of the phrase; the rest is a still join.
constexpr double kPacketShare = 0.72;
// Share of each half of a packet spent fading in or out.
constexpr double kEdgeShare = 0.5;
// A point that turns more than eight times a beat buzzes rather than moves,
// and a moving head cannot follow it. Four wobbles a beat make eight turns;
// five would make ten, and with the turn by which a packet comes to rest
// falling into the beat of its last wobbles, four would still make nine in
// some beat, so five packets wobble three times a beat.
int wobbles_per_beat(int n) { return n <= 4 ? n : 3; }

// A flat-topped window over |d| < half_length whose edges fall away as half a
// raised cosine: full strength in the middle, smooth onto the still joins.
double packet_window(double d, double half_length) {
    const double edge = kEdgeShare * half_length;
    const double into_edge = std::fabs(d) - (half_length - edge);
    if (into_edge <= 0.0) return 1.0;
    if (into_edge >= edge) return 0.0;
    return 0.5 * (1.0 + std::cos(kPi * into_edge / edge));
}

enum class Arrangement { alternating, cascading, crossing, depth };

Rows packets(Arrangement arrangement, int n) {
    const double loop = static_cast<double>(kPeriod);
    const double slot = loop / n;
    const double half_length = std::round(0.5 * kPacketShare * slot);
    // n wobbles per beat (but for five packets), so every packet holds the
    // same number of them. The more packets the narrower the wobble swings, so
    // its pace stays near that of two wobbles a beat at full size: quick
    // enough to read as a shiver, slow enough for a fixture to follow.
    const double wobble_pips = static_cast<double>(kPipsPerBeat) / wobbles_per_beat(n);
    const double wobble_size = 2.0 / n;
    Rows rows(static_cast<std::size_t>(kPeriod));
    for (int i = 0; i < n; ++i) {
        // Packet 0 is centred on pip 0, so the loop opens on a crest.
        const double centre = std::round(i * slot);
        const double alternate = i % 2 == 0 ? 1.0 : -1.0;
        const double along = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
        for (int p = 0; p < kPeriod; ++p) {
            const double d = cyclic_delta(centre, p, loop);
            const double window = packet_window(d, half_length);
            if (window == 0.0) continue;
            const double wobble = wobble_size * window * std::cos(kTwoPi * d / wobble_pips);
            Row& row = rows[static_cast<std::size_t>(p)];
            switch (arrangement) {
                case Arrangement::alternating:
                    // Lean out to one side, wobble up and down there, come back.
                    row.x += -0.6 * alternate * window;
                    row.y += 0.85 * wobble;
                    break;
                case Arrangement::cascading: {
                    // Each packet further right, lower and smaller than the last.
                    row.x += (-0.65 + 1.3 * along) * window;
                    row.y += (0.1 - 0.4 * along) * window + (0.85 - 0.4 * along) * wobble;
                    break;
                }
                case Arrangement::crossing: {
                    // Swing out to one side, cross the centre on the crest and
                    // swing out to the other side; the next packet crosses back.
                    const double sweep = std::sin(kPi * d / half_length) * window;
                    row.x += 0.7 * alternate * sweep;
                    row.y += 0.8 * wobble;
                    break;
                }
                case Arrangement::depth:
                    // Wobble towards and away from the viewer while leaning to
                    // alternate sides and rising with the window.
                    row.x += -0.5 * alternate * window;
                    row.y += 0.45 * window;
                    row.z += 0.85 * wobble;
                    break;
            }
        }
    }
    return rows;
}

}  // namespace

void emit_packet(Table& table) {
    static constexpr struct {
        const char* suffix;
        Arrangement arrangement;
        int dimensions;
    } kArrangements[] = {{"alternating", Arrangement::alternating, 2},
                         {"cascading", Arrangement::cascading, 2},
                         {"crossing", Arrangement::crossing, 2},
                         {"depth", Arrangement::depth, 3}};
    for (const int n : {2, 3, 4, 5}) {
        for (const auto& a : kArrangements) {
            table.push_back({
                "packet_" + std::string(a.suffix) + "_" + std::to_string(n),
                "Compact, smooth-edged oscillation packets arranged around a closed phrase, with "
                "shaped side motion.",
                kPeriod,
                a.dimensions,
                packets(a.arrangement, n),
            });
        }
    }
}

}  // namespace gen
