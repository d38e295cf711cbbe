// The input level of a running recording as the user sees it: the text of
// the status bar's level part, and the silence warning once a silent
// stretch has lasted the configured time. No window and no clock: the
// caller passes the time, so the rules run in tests as they run live.
#pragma once

#include <cstdint>
#include <string>

class HlidaniUrovne {
public:
    // Below this peak (dBFS) the audio counts as silence for the warning.
    static constexpr double kPrahTicha = -50.0;
    // Below this peak (dBFS) the level reads "ticho"; the bar starts here.
    static constexpr double kDnoMeridla = -60.0;

    struct Uroven {
        double decibely = 0;   // the peak in dBFS (minus infinity for none)
        bool ticho = false;    // the level reads "ticho"
        bool varovat = false;  // a silent stretch has just lasted the limit
    };

    // A recording starts at `ted` (milliseconds): the first silent stretch
    // counts from here. 0 seconds turns the warning off.
    void Zacit(uint32_t sekundyTicha, uint64_t ted);
    // The peak of the last moment of audio (0..32768 of full scale) at `ted`.
    // Sound at or above kPrahTicha ends a silent stretch; the next one warns
    // again. A warned stretch reads "ticho" until it ends.
    Uroven Pridat(uint32_t spicka, uint64_t ted);
    uint32_t SekundyTicha() const { return limitMs_ / 1000; }

private:
    uint64_t limitMs_ = 0;
    uint64_t tichoOd_ = 0;    // start of the current silent stretch
    bool varovano_ = false;   // the current stretch was warned about
};

// A peak of 0..32768 in dBFS (minus infinity for 0).
double DecibelySpicky(uint32_t spicka);
// "−18 dB" (whole decibels, the typographic minus) or "ticho".
std::wstring TextUrovne(const HlidaniUrovne::Uroven& u);
