#include "core/Hatchery.h"

#include <array>
#include <cmath>
#include <utility>

namespace hatchery {

namespace {

// How strongly each sample pulls in a blend: the Dirichlet parameter of its
// weight (a whole number: the weight is a sum of this many exponential draws).
// The samples are matched in strength, so each pulls alike; a strong pull keeps
// blends from the lopsided corners, where a chicken is weak at everything it does.
constexpr int Pull = 16;

// How far a blended stat is nudged either way, as a share of it.
constexpr double Nudge = 0.03;

// A blend is weaker than the samples it comes from: each sample's strengths fit
// together (Bruno's kick, Pip's speed and peck), and a blend has a little of each.
// Extra hit points make up for it; with this share a hatched chicken wins about
// half its simulated matches against each sample (tools/fairness).
constexpr double BlendHitPoints = 1.2;

int16_t nudged(double value, const RandomSource& random) {
    const double factor = 1.0 + Nudge * (2.0 * random() - 1.0);
    return static_cast<int16_t>(std::lround(value * factor));
}

} // namespace

std::optional<std::string> nameRefusal(std::string_view name) {
    if (name.empty())
        return "A chicken needs a name.";
    if (name.size() > MaxNameLength)
        return "A name may have at most 40 characters.";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"')
            return "A name cannot hold a double quote (\").";
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0))
            return "A name cannot hold control characters (line breaks, tabs and the like).";
    }
    return std::nullopt;
}

ChickenRecord hatch(std::string name, int16_t portrait, const RandomSource& random) {
    // Weights drawn from a Dirichlet distribution that favours even blends: a
    // chicken leans towards one sample but rarely copies it.
    std::array<double, Flock.size()> weight{};
    double total = 0;
    for (std::size_t i = 0; i < Flock.size(); ++i) {
        for (int k = 0; k < Pull; ++k)
            weight[i] -= std::log(1.0 - random());
        total += weight[i];
    }
    FlockStats blend{};
    for (std::size_t i = 0; i < Flock.size(); ++i) {
        const double w = weight[i] / total;
        const FlockStats& s = Flock[i];
        blend.kickPower += w * s.kickPower;
        blend.peckPower += w * s.peckPower;
        blend.speed += w * s.speed;
        blend.obedience += w * s.obedience;
        blend.hitPoints += w * s.hitPoints;
        blend.kickSkill += w * s.kickSkill;
        blend.peckSkill += w * s.peckSkill;
        blend.canCombo += w * s.canCombo;
    }
    ChickenRecord chicken;
    chicken.Name = std::move(name);
    chicken.PortraitIndex = portrait;
    chicken.KickPower = nudged(blend.kickPower, random);
    chicken.PeckPower = nudged(blend.peckPower, random);
    chicken.Speed = nudged(blend.speed, random);
    chicken.Obedience = std::min<int16_t>(nudged(blend.obedience, random), 100);
    chicken.HitPoints = nudged(blend.hitPoints * BlendHitPoints, random);
    chicken.KickSkill = nudged(blend.kickSkill, random);
    chicken.PeckSkill = nudged(blend.peckSkill, random);
    chicken.CanPeck = -1;
    chicken.CanCombo = random() < blend.canCombo ? -1 : 0;
    chicken.CheatFlag = 0;
    return chicken;
}

} // namespace hatchery
