#include "recording/HlidaniUrovne.h"

#include "app/Chyby.h"
#include "resources/resource.h"

#include <cmath>
#include <limits>

double DecibelySpicky(uint32_t spicka)
{
    if (spicka == 0)
        return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(static_cast<double>(spicka) / 32768.0);
}

void HlidaniUrovne::Zacit(uint32_t sekundyTicha, uint64_t ted)
{
    limitMs_ = uint64_t(sekundyTicha) * 1000;
    tichoOd_ = ted;
    varovano_ = false;
}

HlidaniUrovne::Uroven HlidaniUrovne::Pridat(uint32_t spicka, uint64_t ted)
{
    Uroven u;
    u.decibely = DecibelySpicky(spicka);
    if (u.decibely >= kPrahTicha) {
        tichoOd_ = ted;
        varovano_ = false;
    } else if (limitMs_ > 0 && !varovano_ && ted >= tichoOd_ + limitMs_) {
        varovano_ = true;
        u.varovat = true;
    }
    u.ticho = u.decibely < kDnoMeridla || varovano_;
    return u;
}

std::wstring TextUrovne(const HlidaniUrovne::Uroven& u)
{
    if (u.ticho)
        return NacistRetezec(IDS_UROVEN_TICHO);
    const long db = std::lround(u.decibely);
    std::wstring cislo = db < 0 ? L"\x2212" + std::to_wstring(-db) : L"0";
    return NacistText(IDS_UROVEN_DB, cislo.c_str());
}
