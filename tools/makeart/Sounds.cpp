#include "Sounds.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace art {

namespace {

constexpr int Rate = 22050;
constexpr double Pi = 3.14159265358979323846;

using Track = std::vector<double>;

Track silence(double seconds) {
    return Track(static_cast<std::size_t>(seconds * Rate), 0.0);
}

// A small xorshift generator: the same noise on every machine and library.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_;
};

// Amplitude envelope: linear attack, then exponential decay with time constant
// `decay`, and a short fade at `length` so that no sound ends in a click.
struct Envelope {
    double attack = 0.003;
    double decay = 0.1;
    double at(double t, double length) const {
        double a = t < attack ? t / attack : std::exp(-(t - attack) / decay);
        const double fade = 0.004;
        if (t > length - fade)
            a *= std::max(0.0, (length - t) / fade);
        return a;
    }
};

struct Tone {
    double start = 0;
    double length = 0.1;
    double fromHz = 440;
    double toHz = 440; // exponential glide from fromHz
    double amplitude = 1;
    Envelope envelope;
    double vibratoHz = 0; // pitch wobble
    double vibratoDepth = 0;
    std::vector<double> harmonics{1.0}; // amplitude of partial 1, 2, 3, ...
};

void add(Track& track, const Tone& tone) {
    const auto first = static_cast<std::size_t>(tone.start * Rate);
    const auto count = static_cast<std::size_t>(tone.length * Rate);
    double phase = 0;
    for (std::size_t i = 0; i < count && first + i < track.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        double hz = tone.fromHz * std::pow(tone.toHz / tone.fromHz, t / tone.length);
        hz *= 1.0 + tone.vibratoDepth * std::sin(2 * Pi * tone.vibratoHz * t);
        phase += 2 * Pi * hz / Rate;
        double v = 0;
        for (std::size_t k = 0; k < tone.harmonics.size(); ++k)
            if (hz * static_cast<double>(k + 1) < Rate / 2.0)
                v += tone.harmonics[k] * std::sin(phase * static_cast<double>(k + 1));
        track[first + i] += tone.amplitude * tone.envelope.at(t, tone.length) * v;
    }
}

struct Burst {
    double start = 0;
    double length = 0.05;
    double amplitude = 1;
    Envelope envelope;
    double fromBrightness = 0.5; // one-pole low-pass coefficient, 0 dull .. 1 open
    double toBrightness = 0.5;
    bool band = false; // take away the rumble below the band as well
    std::uint32_t seed = 1;
};

void add(Track& track, const Burst& burst) {
    Noise noise(burst.seed);
    const auto first = static_cast<std::size_t>(burst.start * Rate);
    const auto count = static_cast<std::size_t>(burst.length * Rate);
    double low = 0;
    double lower = 0;
    for (std::size_t i = 0; i < count && first + i < track.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double k =
            burst.fromBrightness + (burst.toBrightness - burst.fromBrightness) * t / burst.length;
        low += k * (noise.next() - low);
        lower += k * 0.25 * (low - lower);
        const double v = burst.band ? low - lower : low;
        track[first + i] += burst.amplitude * burst.envelope.at(t, burst.length) * v;
    }
}

// Harmonic weights of a voice with one formant: a throaty cluck or squawk.
std::vector<double> voice(double baseHz, double formantHz, double width) {
    std::vector<double> h;
    for (int k = 1; k <= 12; ++k) {
        const double d = (baseHz * k - formantHz) / width;
        h.push_back(1.0 / (1.0 + d * d) / std::sqrt(static_cast<double>(k)));
    }
    return h;
}

void normalise(Track& track, double peak) {
    double max = 0;
    for (double v : track)
        max = std::max(max, std::abs(v));
    if (max > 0)
        for (double& v : track)
            v *= peak / max;
}

Track click() {
    Track t = silence(0.07);
    add(t, Burst{.length = 0.02,
                 .envelope = {0.0005, 0.003},
                 .fromBrightness = 0.9,
                 .toBrightness = 0.9,
                 .seed = 11});
    add(t, Tone{.length = 0.06,
                .fromHz = 2000,
                .toHz = 1700,
                .amplitude = 0.7,
                .envelope = {0.0005, 0.01}});
    add(t, Tone{.length = 0.07,
                .fromHz = 950,
                .toHz = 900,
                .amplitude = 0.4,
                .envelope = {0.0005, 0.015}});
    normalise(t, 0.6);
    return t;
}

Track jingle() {
    Track t = silence(0.82);
    const std::vector<double> bright{1.0, 0.35, 0.18, 0.08};
    const double notes[] = {523.25, 659.25, 783.99, 1046.5};
    for (int i = 0; i < 4; ++i) {
        const bool last = i == 3;
        add(t, Tone{.start = 0.11 * i,
                    .length = last ? 0.82 - 0.33 : 0.2,
                    .fromHz = notes[i],
                    .toHz = notes[i],
                    .amplitude = last ? 0.8 : 0.6,
                    .envelope = {0.006, last ? 0.22 : 0.09},
                    .vibratoHz = last ? 6.0 : 0.0,
                    .vibratoDepth = last ? 0.004 : 0.0,
                    .harmonics = bright});
    }
    // The closing chord under the top note.
    for (double hz : {659.25, 783.99})
        add(t, Tone{.start = 0.33,
                    .length = 0.49,
                    .fromHz = hz,
                    .toHz = hz,
                    .amplitude = 0.3,
                    .envelope = {0.01, 0.25},
                    .harmonics = bright});
    normalise(t, 0.7);
    return t;
}

// 2.wav: a deep, dull body blow.
Track thump() {
    Track t = silence(0.3);
    add(t, Tone{.length = 0.3,
                .fromHz = 150,
                .toHz = 45,
                .envelope = {0.002, 0.08},
                .harmonics = {1.0, 0.2}});
    add(t, Burst{.length = 0.06,
                 .amplitude = 0.6,
                 .envelope = {0.001, 0.015},
                 .fromBrightness = 0.15,
                 .toBrightness = 0.05,
                 .seed = 22});
    normalise(t, 0.9);
    return t;
}

// 3.wav: a sharp crack with a short knock under it.
Track thwack() {
    Track t = silence(0.22);
    add(t, Burst{.length = 0.2,
                 .envelope = {0.0008, 0.025},
                 .fromBrightness = 0.75,
                 .toBrightness = 0.3,
                 .seed = 33});
    add(t, Tone{.length = 0.15,
                .fromHz = 330,
                .toHz = 170,
                .amplitude = 0.5,
                .envelope = {0.001, 0.035},
                .harmonics = {1.0, 0.3}});
    normalise(t, 0.85);
    return t;
}

// 4.wav: "buk-buk", two clucks after a soft knock.
Track cluck() {
    Track t = silence(0.36);
    add(t, Tone{.length = 0.12,
                .fromHz = 120,
                .toHz = 60,
                .amplitude = 0.5,
                .envelope = {0.002, 0.04}});
    add(t, Tone{.start = 0.03,
                .length = 0.11,
                .fromHz = 520,
                .toHz = 400,
                .envelope = {0.006, 0.045},
                .harmonics = voice(460, 1300, 450)});
    add(t, Tone{.start = 0.2,
                .length = 0.15,
                .fromHz = 560,
                .toHz = 380,
                .amplitude = 0.9,
                .envelope = {0.006, 0.06},
                .harmonics = voice(470, 1200, 450)});
    normalise(t, 0.8);
    return t;
}

// 7.wav: a punch followed by an indignant squawk.
Track squawk() {
    Track t = silence(0.45);
    add(t, Tone{.length = 0.15,
                .fromHz = 220,
                .toHz = 70,
                .amplitude = 0.8,
                .envelope = {0.001, 0.04}});
    add(t, Burst{.length = 0.05,
                 .amplitude = 0.5,
                 .envelope = {0.0005, 0.01},
                 .fromBrightness = 0.5,
                 .toBrightness = 0.2,
                 .seed = 77});
    add(t, Tone{.start = 0.07,
                .length = 0.37,
                .fromHz = 700,
                .toHz = 980,
                .amplitude = 0.7,
                .envelope = {0.02, 0.18},
                .vibratoHz = 28,
                .vibratoDepth = 0.03,
                .harmonics = voice(850, 2000, 700)});
    normalise(t, 0.8);
    return t;
}

// 10.wav: a flurry of wing beats ending in a thud.
Track flurry() {
    Track t = silence(0.42);
    for (int i = 0; i < 4; ++i)
        add(t, Burst{.start = 0.06 * i,
                     .length = 0.07,
                     .amplitude = 0.45 + 0.1 * i,
                     .envelope = {0.008, 0.02},
                     .fromBrightness = 0.35,
                     .toBrightness = 0.6,
                     .band = true,
                     .seed = 100u + static_cast<std::uint32_t>(i)});
    add(t, Tone{.start = 0.24,
                .length = 0.18,
                .fromHz = 180,
                .toHz = 55,
                .envelope = {0.001, 0.05},
                .harmonics = {1.0, 0.4, 0.1}});
    add(t, Burst{.start = 0.24,
                 .length = 0.05,
                 .amplitude = 0.5,
                 .envelope = {0.0005, 0.012},
                 .fromBrightness = 0.6,
                 .toBrightness = 0.3,
                 .seed = 110});
    normalise(t, 0.85);
    return t;
}

// 9.wav: a blow glancing off: a whoosh and a metallic ting.
Track deflect() {
    Track t = silence(0.6);
    add(t, Burst{.length = 0.18,
                 .amplitude = 0.5,
                 .envelope = {0.08, 0.04},
                 .fromBrightness = 0.08,
                 .toBrightness = 0.7,
                 .band = true,
                 .seed = 99});
    struct Partial {
        double hz, amplitude, decay;
    };
    for (const Partial& p : {Partial{2350, 1.0, 0.16}, Partial{3710, 0.55, 0.1},
                             Partial{5230, 0.3, 0.06}, Partial{1180, 0.25, 0.2}})
        add(t, Tone{.start = 0.08,
                    .length = 0.52,
                    .fromHz = p.hz,
                    .toHz = p.hz * 0.995,
                    .amplitude = p.amplitude,
                    .envelope = {0.001, p.decay}});
    normalise(t, 0.7);
    return t;
}

bool writeWav(const QString& path, const Track& track) {
    const auto samples = static_cast<std::int64_t>(track.size());
    QByteArray out;
    auto put16 = [&out](int v) {
        out.append(static_cast<char>(v & 0xff));
        out.append(static_cast<char>((v >> 8) & 0xff));
    };
    auto put32 = [&out](std::int64_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            out.append(static_cast<char>((v >> shift) & 0xff));
    };
    out.append("RIFF");
    put32(36 + 2 * samples);
    out.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(Rate);
    put32(2 * Rate);
    put16(2);
    put16(16);
    out.append("data");
    put32(2 * samples);
    for (double v : track)
        put16(static_cast<int>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)));

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

} // namespace

bool writeSounds(const QString& folder) {
    struct Sound {
        const char* name;
        Track (*make)();
    };
    const Sound sounds[] = {{"0.wav", click},   {"1.wav", jingle}, {"2.wav", thump},
                            {"3.wav", thwack},  {"4.wav", cluck},  {"7.wav", squawk},
                            {"9.wav", deflect}, {"10.wav", flurry}};
    for (const Sound& s : sounds)
        if (!writeWav(folder + QLatin1Char('/') + QLatin1String(s.name), s.make()))
            return false;
    return true;
}

} // namespace art
