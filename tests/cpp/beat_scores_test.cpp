// The beat scores as the generator reads them: every score lasts its style's
// period, hits land at their real pips, a malformed score is refused, and the
// roles fall back as their order says.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "families/beat/beat.hpp"

namespace {

using namespace gen::beat;

std::vector<int> pips_of(const std::vector<Hit>& hits) {
    std::vector<int> pips;
    for (const Hit& h : hits) pips.push_back(h.pip);
    return pips;
}

const Lane& lane_of(const Groove& groove, std::string_view name, bool triplet = false) {
    for (const Lane& lane : groove.lanes) {
        if (lane.name == name && lane.triplet == triplet) return lane;
    }
    throw std::invalid_argument("no lane " + std::string(name));
}

TEST(BeatScores, EveryScoreLastsItsStylesPeriod) {
    const auto& styles = beat_styles();
    const auto& scores = beat_scores();
    ASSERT_EQ(styles.size(), 68u);
    ASSERT_EQ(scores.size(), styles.size());
    for (std::size_t i = 0; i < styles.size(); ++i) {
        SCOPED_TRACE(std::string(styles[i].key));
        EXPECT_EQ(scores[i].key, styles[i].key);
        const Groove groove = parse_groove(scores[i]);
        EXPECT_EQ(groove.period, styles[i].period);
        for (const Lane& lane : groove.lanes) {
            ASSERT_FALSE(lane.hits.empty()) << lane.name;
            EXPECT_TRUE(std::is_sorted(lane.hits.begin(), lane.hits.end(),
                                       [](const Hit& a, const Hit& b) { return a.pip < b.pip; }));
            EXPECT_GE(lane.hits.front().pip, 0);
            EXPECT_LT(lane.hits.back().pip, groove.period);
        }
    }
}

TEST(BeatScores, SwingDelaysEveryOffSixteenth) {
    // swing 0.25 of a sixteenth is 4 pips; the hats sit on the "e" and "a"
    const Groove shuffle = parse_groove(score_of("house_shuffle"));
    const std::vector<int> hats = pips_of(lane_of(shuffle, "hat").hits);
    EXPECT_EQ(std::vector<int>(hats.begin(), hats.begin() + 4), (std::vector<int>{20, 52, 84, 116}));
    // swing 0.16 rounds to 3 pips; the kick on an even step stays put
    const Groove skip = parse_groove(score_of("ukg_skip"));
    EXPECT_EQ(pips_of(lane_of(skip, "kick").hits),
              (std::vector<int>{0, 96, 192, 256, 256 + 48 + 3, 256 + 128, 256 + 224}));
    EXPECT_EQ(pips_of(lane_of(skip, "shaker").hits)[0], 19);
}

TEST(BeatScores, TripletLanesUseTwelveStepsPerBar) {
    const Groove rolls = parse_groove(score_of("drill_rolls"));
    const Lane& roll = lane_of(rolls, "hat", true);
    ASSERT_TRUE(roll.triplet);
    // steps 6 to 11 of bar 2: round(256 s / 12)
    EXPECT_EQ(pips_of(roll.hits), (std::vector<int>{384, 405, 427, 448, 469, 491}));
    EXPECT_EQ(roll.hits[0].weight, kGhost);
    EXPECT_EQ(roll.hits[5].weight, kNormal);
    // a triplet lane takes no swing
    const Groove cross = parse_groove(score_of("afro_cross"));
    EXPECT_EQ(pips_of(lane_of(cross, "perc", true).hits), (std::vector<int>{0, 85, 171, 256, 341, 427}));
}

TEST(BeatScores, AccentsOutweighNormalsOutweighGhosts) {
    EXPECT_LT(kGhost, kNormal);
    EXPECT_LT(kNormal, kAccent);
    const Groove jack = parse_groove(score_of("house_jack"));
    const Lane& kick = lane_of(jack, "kick");
    EXPECT_EQ(kick.hits.front().weight, kAccent);
    EXPECT_EQ(kick.hits[4].pip, 240 + 4);  // the ghost kick on the last, swung sixteenth
    EXPECT_EQ(kick.hits[4].weight, kGhost);
}

TEST(BeatScores, AMalformedScoreIsRefused) {
    const Score short_bar{"short_bar", 2, 0.0, {{"kick", "x...x...x...x.. |x...x...x...x..."}}};
    const Score missing_bar{"missing_bar", 2, 0.0, {{"kick", "x...x...x...x..."}}};
    const Score long_triplet{"long_triplet", 1, 0.0, {{"hat (triplet)", "x.x.x.x.x.x.x.x."}}};
    const Score bad_symbol{"bad_symbol", 1, 0.0, {{"kick", "x...X...x...x..."}}};
    const Score bad_lane{"bad_lane", 1, 0.0, {{"gong", "x...x...x...x..."}}};
    for (const Score* score : {&short_bar, &missing_bar, &long_triplet, &bad_symbol, &bad_lane}) {
        EXPECT_THROW(parse_groove(*score), std::invalid_argument) << score->key;
    }
    EXPECT_THROW(score_of("no_such_style"), std::invalid_argument);
}

TEST(BeatRoles, FallBackToTheNearestLane) {
    const auto roles_of = [](std::string_view key) {
        return resolve_roles(parse_groove(score_of(key)));
    };
    // a bare kick pulse keeps no backbeat; its bass and hats fall back to the kick
    const Roles bare = roles_of("four_floor");
    EXPECT_TRUE(bare.backbeat.empty());
    EXPECT_EQ(pips_of(bare.bass), (std::vector<int>{0, 64, 128, 192}));
    EXPECT_EQ(pips_of(bare.hats), pips_of(bare.kick));
    // the break kick counts as kick, merged one hit per pip
    const Roles rave = roles_of("rave_breaks");
    EXPECT_EQ(pips_of(rave.kick),
              (std::vector<int>{0, 32, 64, 96, 128, 160, 192, 256, 288, 320, 384, 416, 448}));
    // the clave stands in for the backbeat, toms for a missing bass with the kick
    EXPECT_EQ(pips_of(roles_of("son_clave_32").backbeat),
              (std::vector<int>{0, 96, 192, 256 + 64, 256 + 128}));
    // a bell timeline leads over a running rim: the bell is the backbeat, the
    // rim the detail; with no timeline the rim is the cross-stick backbeat
    const Roles bell = roles_of("afro_bell");
    EXPECT_EQ(pips_of(bell.backbeat),
              (std::vector<int>{0, 48, 96, 160, 224, 256, 256 + 48, 256 + 96, 256 + 160, 256 + 224}));
    EXPECT_EQ(bell.hats.size(), 16u);
    EXPECT_EQ(pips_of(roles_of("reggae_one_drop").backbeat), (std::vector<int>{128, 256 + 128}));
    const Roles gqom = roles_of("gqom_space");
    EXPECT_EQ(gqom.bass.size(), gqom.kick.size() + 7);
    EXPECT_EQ(pips_of(roles_of("techno_toms").backbeat).size(), 10u);
    // a real bass lane is the bass
    EXPECT_EQ(pips_of(roles_of("trance").bass).size(), 8u);
    // percussion leaves the bass out; all keeps every hit
    const Roles amapiano = roles_of("amapiano");
    EXPECT_EQ(amapiano.percussion.size(), 32u);  // kick and shaker fill every sixteenth
    EXPECT_EQ(amapiano.all.size(), 32u);
}

TEST(BeatRoles, CoincidingHitsKeepTheStrongest) {
    // reggae_one_drop: kick x and rim x together on beat 3; the hat o on beat 3 gives way
    const Roles drop = resolve_roles(parse_groove(score_of("reggae_one_drop")));
    const auto third = std::find_if(drop.all.begin(), drop.all.end(),
                                    [](const Hit& h) { return h.pip == 128; });
    ASSERT_NE(third, drop.all.end());
    EXPECT_EQ(third->weight, kAccent);
}

TEST(BeatOrigin, OnlyAQuietEndingStartsAtRest) {
    const auto rests = [](std::string_view key) {
        return spring_starts_at_rest(resolve_roles(parse_groove(score_of(key))), parse_groove(score_of(key)).period);
    };
    EXPECT_TRUE(rests("four_floor"));        // nothing in the last beat
    EXPECT_TRUE(rests("dnb_push"));          // a normal kick on the last sixteenth step
    EXPECT_FALSE(rests("house_shuffle"));    // a swung hat after the last step
    EXPECT_FALSE(rests("dembow"));           // an accented snare in the last eighth
    EXPECT_TRUE(rests("trap_trills"));       // the triplet roll ends before the last step
}

}  // namespace
