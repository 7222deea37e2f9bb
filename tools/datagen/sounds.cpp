// The thirteen sound files: eleven mono effect slots and two stereo music loops, synthesised.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/datagen/datagen.h"

namespace {

constexpr int RATE = 22050;
constexpr float TAU = 6.2831853f;

// A fixed noise source, so every run writes the same bytes.
struct Noise {
    uint32_t s = 12345;
    float next() {
        s = s * 1664525u + 1013904223u;
        return static_cast<float>((s >> 8) & 0xFFFF) / 32768.0f - 1.0f;
    }
};

using Buffer = std::vector<float>;

int samples(float seconds) {
    return static_cast<int>(seconds * RATE);
}

enum Shape { SINE, SQUARE, SAW, TRIANGLE };

float osc(Shape shape, float phase) {
    float p = phase - std::floor(phase);
    switch (shape) {
        case SQUARE:
            return p < 0.5f ? 0.6f : -0.6f;
        case SAW:
            return 2.0f * p - 1.0f;
        case TRIANGLE:
            return p < 0.5f ? 4.0f * p - 1.0f : 3.0f - 4.0f * p;
        default:
            return std::sin(TAU * p);
    }
}

// A tone from f0 to f1 (exponential sweep) with an attack and an exponential decay.
void tone(Buffer &b, float start, float length, float f0, float f1, float amp, Shape shape,
          float attack, float decay, float vibrato = 0.0f) {
    int s0 = samples(start), n = samples(length);
    float phase = 0.0f;
    for (int i = 0; i < n && s0 + i < static_cast<int>(b.size()); ++i) {
        float t = static_cast<float>(i) / RATE;
        float f = f0 * std::pow(f1 / f0, t / length);
        if (vibrato > 0.0f) f *= 1.0f + vibrato * std::sin(TAU * 7.0f * t);
        phase += f / RATE;
        float env = std::min(1.0f, t / std::max(attack, 1e-4f)) * std::exp(-t / decay);
        b[s0 + i] += amp * env * osc(shape, phase);
    }
}

// Noise through a one-pole low-pass (brightness 0..1), with attack and decay.
void noise(Buffer &b, Noise &rng, float start, float length, float amp, float bright, float decay) {
    int s0 = samples(start), n = samples(length);
    float lp = 0.0f;
    for (int i = 0; i < n && s0 + i < static_cast<int>(b.size()); ++i) {
        float t = static_cast<float>(i) / RATE;
        lp += bright * (rng.next() - lp);
        b[s0 + i] += amp * lp * std::exp(-t / decay) * std::min(1.0f, t * 2000.0f);
    }
}

std::vector<int16_t> to_pcm(const std::vector<float> &v, float peak_target) {
    float peak = 1e-6f;
    for (float x : v) peak = std::max(peak, std::fabs(x));
    std::vector<int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(v[i] / peak * peak_target * 32767.0f));
    return out;
}

Wave effect(const char *name, float seconds, void (*make)(Buffer &, Noise &)) {
    Buffer b(samples(seconds), 0.0f);
    Noise rng;
    make(b, rng);
    // Fade the last 5 ms so the sound ends on silence.
    int fade = samples(0.005f);
    for (int i = 0; i < fade; ++i) b[b.size() - 1 - i] *= static_cast<float>(i) / fade;
    return Wave{name, 1, RATE, to_pcm(b, 0.8f)};
}

float midi(int note) {
    return 440.0f * std::pow(2.0f, (note - 69) / 12.0f);
}

// A stereo loop: notes are mixed with their tails wrapped round to the start, so the end
// flows into the beginning without a seam.
struct Loop {
    int length;
    std::vector<float> left, right;
    explicit Loop(int n) : length(n), left(n, 0.0f), right(n, 0.0f) {}
    void note(int start, float seconds, float f, float amp, Shape shape, float pan, float attack,
              float decay) {
        int n = samples(seconds);
        float phase = 0.0f;
        float gl = amp * (1.0f - pan) * 0.5f, gr = amp * (1.0f + pan) * 0.5f;
        for (int i = 0; i < n; ++i) {
            float t = static_cast<float>(i) / RATE;
            phase += f / RATE;
            float release = std::min(1.0f, (n - i) / static_cast<float>(samples(0.01f)));
            float v =
                osc(shape, phase) * std::min(1.0f, t / attack) * std::exp(-t / decay) * release;
            int k = (start + i) % length;
            left[k] += v * gl;
            right[k] += v * gr;
        }
    }
    void hat(Noise &rng, int start, float amp, float pan) {
        int n = samples(0.05f);
        float prev = 0.0f;
        for (int i = 0; i < n; ++i) {
            float x = rng.next();
            float v = (x - prev) * amp * std::exp(-static_cast<float>(i) / samples(0.012f));
            prev = x;
            int k = (start + i) % length;
            left[k] += v * (1.0f - pan) * 0.5f;
            right[k] += v * (1.0f + pan) * 0.5f;
        }
    }
    void kick(int start, float amp) {
        int n = samples(0.18f);
        float phase = 0.0f;
        for (int i = 0; i < n; ++i) {
            float t = static_cast<float>(i) / RATE;
            phase += (50.0f + 110.0f * std::exp(-t / 0.03f)) / RATE;
            float v = amp * std::sin(TAU * phase) * std::exp(-t / 0.06f);
            int k = (start + i) % length;
            left[k] += v * 0.5f;
            right[k] += v * 0.5f;
        }
    }
    Wave wave(const char *name) const {
        std::vector<float> mix(2 * static_cast<size_t>(length));
        for (int i = 0; i < length; ++i) {
            mix[2 * i] = left[i];
            mix[2 * i + 1] = right[i];
        }
        return Wave{name, 2, RATE, to_pcm(mix, 0.7f)};
    }
};

// The chase: 150 beats a minute, four bars in A minor over a driving bass.
Wave chase_music(void) {
    const int beat = RATE * 2 / 5; // 0.4 s
    Loop m(16 * beat);
    Noise rng;
    const int roots[4] = {45, 41, 43, 40}; // A, F, G, E
    for (int bar = 0; bar < 4; ++bar)
        for (int e = 0; e < 8; ++e) {
            int at = (bar * 4) * beat + e * beat / 2;
            int note = roots[bar] + ((e % 2) ? 12 : 0);
            m.note(at, 0.18f, midi(note), 0.5f, TRIANGLE, 0.0f, 0.004f, 0.12f);
            m.hat(rng, at + beat / 4, 0.18f, 0.4f);
            if (e % 2 == 0) m.kick(at, (e % 4 == 0) ? 0.9f : 0.5f);
        }
    const int melody[32] = {69, 72, 76, 72, 74, 72, 71, 72, 69, 72, 77, 76, 74, 72, 74, 76,
                            71, 74, 79, 77, 76, 74, 72, 71, 68, 71, 76, 74, 72, 71, 69, 68};
    for (int i = 0; i < 32; ++i)
        m.note(i * beat / 2, 0.19f, midi(melody[i]), 0.26f, SQUARE, -0.35f, 0.004f, 0.25f);
    return m.wave("music0");
}

// The selection: a calm arpeggio over C, A minor, F and G.
Wave select_music(void) {
    const int beat = RATE * 3 / 5; // 0.6 s
    Loop m(8 * beat);
    const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
    for (int c = 0; c < 4; ++c) {
        int at = c * 2 * beat;
        m.note(at, 1.2f, midi(chords[c][0] - 24), 0.45f, TRIANGLE, 0.0f, 0.02f, 0.8f);
        for (int e = 0; e < 4; ++e) {
            int note = chords[c][e % 3] + (e == 3 ? 12 : 0);
            m.note(at + e * beat / 2, 0.5f, midi(note + 12), 0.22f, SINE, 0.4f, 0.01f, 0.3f);
        }
        m.note(at, 1.15f, midi(chords[c][1]), 0.1f, SAW, -0.4f, 0.2f, 1.5f);
    }
    return m.wave("music1");
}

} // namespace

std::vector<Wave> datagen_waves(void) {
    std::vector<Wave> w;
    // Slot 0: a soft blip.
    w.push_back(effect("0", 0.16f, [](Buffer &b, Noise &) {
        tone(b, 0, 0.16f, 880, 880, 0.5f, SINE, 0.003f, 0.04f);
    }));
    // A bell: inharmonic partials ringing out.
    w.push_back(effect("zq3_chime000", 1.2f, [](Buffer &b, Noise &) {
        const float ratio[4] = {1.0f, 2.76f, 5.40f, 8.93f};
        for (int i = 0; i < 4; ++i)
            tone(b, 0, 1.2f, 1046 * ratio[i], 1046 * ratio[i], 0.5f / (i + 1), SINE, 0.002f,
                 0.5f / (i + 1));
        tone(b, 0.12f, 1.05f, 1318, 1318, 0.35f, SINE, 0.002f, 0.35f);
    }));
    // "Pon": a round tone that drops a little.
    w.push_back(effect("zq3_pon000", 0.25f, [](Buffer &b, Noise &) {
        tone(b, 0, 0.25f, 700, 520, 0.7f, SINE, 0.002f, 0.08f);
        tone(b, 0, 0.25f, 1400, 1040, 0.2f, SINE, 0.002f, 0.05f);
    }));
    // Power-up: a rising sweep with a warble.
    w.push_back(effect("zq3_power001", 0.7f, [](Buffer &b, Noise &) {
        tone(b, 0, 0.7f, 250, 1600, 0.5f, SQUARE, 0.01f, 2.0f, 0.04f);
        tone(b, 0, 0.7f, 500, 3200, 0.15f, SINE, 0.01f, 2.0f);
    }));
    // A whistle: high, pure, with vibrato.
    w.push_back(effect("zq3_whistle000", 0.5f, [](Buffer &b, Noise &rng) {
        tone(b, 0, 0.5f, 2100, 2000, 0.6f, SINE, 0.03f, 1.5f, 0.02f);
        noise(b, rng, 0, 0.5f, 0.05f, 0.6f, 1.0f);
    }));
    // A shot: a bang of noise over a falling tone.
    w.push_back(effect("zq3_shoot003", 0.35f, [](Buffer &b, Noise &rng) {
        noise(b, rng, 0, 0.35f, 0.9f, 0.5f, 0.06f);
        tone(b, 0, 0.35f, 900, 120, 0.5f, SQUARE, 0.001f, 0.1f);
    }));
    // A switch: a short click, then quiet.
    w.push_back(effect("zq3_switch001", 0.16f, [](Buffer &b, Noise &rng) {
        noise(b, rng, 0, 0.02f, 0.8f, 0.9f, 0.004f);
        tone(b, 0, 0.05f, 2400, 2200, 0.4f, SQUARE, 0.0005f, 0.008f);
        noise(b, rng, 0.05f, 0.02f, 0.4f, 0.9f, 0.003f);
    }));
    // A car pulling away: a buzzing engine rising in pitch, then a horn toot.
    w.push_back(effect("zq3_car003", 0.9f, [](Buffer &b, Noise &rng) {
        tone(b, 0, 0.9f, 60, 150, 0.6f, SAW, 0.05f, 1.2f, 0.05f);
        noise(b, rng, 0, 0.9f, 0.2f, 0.1f, 0.8f);
        tone(b, 0.05f, 0.2f, 440, 440, 0.25f, SQUARE, 0.005f, 0.5f);
        tone(b, 0.05f, 0.2f, 554, 554, 0.2f, SQUARE, 0.005f, 0.5f);
    }));
    // A camera shutter: two sharp clicks.
    w.push_back(effect("cam", 0.25f, [](Buffer &b, Noise &rng) {
        noise(b, rng, 0, 0.04f, 1.0f, 0.8f, 0.008f);
        tone(b, 0, 0.03f, 3000, 2500, 0.3f, SQUARE, 0.0005f, 0.006f);
        noise(b, rng, 0.09f, 0.05f, 0.8f, 0.6f, 0.012f);
    }));
    // "Pan": a slap.
    w.push_back(effect("pan", 0.2f, [](Buffer &b, Noise &rng) {
        noise(b, rng, 0, 0.2f, 1.0f, 0.7f, 0.02f);
        tone(b, 0, 0.2f, 180, 110, 0.5f, SINE, 0.001f, 0.04f);
    }));
    // "Chu": a quick upward chirp with breath.
    w.push_back(effect("chu", 0.22f, [](Buffer &b, Noise &rng) {
        tone(b, 0, 0.12f, 1200, 3000, 0.6f, SINE, 0.01f, 0.08f);
        noise(b, rng, 0, 0.15f, 0.15f, 0.9f, 0.03f);
        tone(b, 0.1f, 0.12f, 2600, 1800, 0.25f, SINE, 0.005f, 0.03f);
    }));
    w.push_back(chase_music());
    w.push_back(select_music());
    return w;
}

static void put16(std::vector<uint8_t> &o, uint16_t v) {
    o.push_back(static_cast<uint8_t>(v));
    o.push_back(static_cast<uint8_t>(v >> 8));
}

static void put32(std::vector<uint8_t> &o, uint32_t v) {
    put16(o, static_cast<uint16_t>(v));
    put16(o, static_cast<uint16_t>(v >> 16));
}

std::vector<uint8_t> datagen_wav_bytes(const Wave &w) {
    uint32_t data = static_cast<uint32_t>(w.samples.size() * 2);
    uint16_t block = static_cast<uint16_t>(w.channels * 2);
    std::vector<uint8_t> o = {'R', 'I', 'F', 'F'};
    put32(o, 36 + data);
    for (char c : std::string("WAVEfmt ")) o.push_back(static_cast<uint8_t>(c));
    put32(o, 16);
    put16(o, 1); // PCM
    put16(o, static_cast<uint16_t>(w.channels));
    put32(o, static_cast<uint32_t>(w.rate));
    put32(o, static_cast<uint32_t>(w.rate) * block);
    put16(o, block);
    put16(o, 16);
    for (char c : std::string("data")) o.push_back(static_cast<uint8_t>(c));
    put32(o, data);
    for (int16_t s : w.samples) put16(o, static_cast<uint16_t>(s));
    return o;
}
