#include "host_console/record_printer.h"

namespace tarvelin::console {

namespace {

const char* const cueKindNames[] = {"AIR profile", "GROUND profile", "combined cues", "frozen cues"};

}  // namespace

void printRecord(const EngineApi& api, std::FILE* out) {
    const char* const* names = nullptr;
    int nameCount = 0;
    double* channels = nullptr;
    int channelCount = 0;
    api.getGameDataNames(&names, &nameCount);
    api.getGameData(&channels, &channelCount);

    std::fprintf(out, "Telemetry record (%d channels, getGameDataCount %d)\n", channelCount, api.getGameDataCount());
    for (int i = 1; i < channelCount; ++i) {
        const char* name = i - 1 < nameCount && names[i - 1] != nullptr ? names[i - 1] : "(belt sum)";
        std::fprintf(out, "  %2d %-16s %12.4f\n", i, name, channels[i]);
    }

    for (int kind = 0; kind < 4; ++kind) {
        double* cues = nullptr;
        int count = 0;
        api.getMotionCueData(kind, &cues, &count);
        std::fprintf(out, "%-15s", cueKindNames[kind]);
        for (int slot = 0; slot < count; ++slot) std::fprintf(out, "%s%.3f", slot == 0 ? " " : " ", cues[slot]);
        std::fprintf(out, "\n");
    }

    std::fprintf(out, "Reader interval %.3f ms (getGameTimeFrame), engine cycle %.3f ms\n", api.getGameTimeFrame(),
                 api.getMotionDataTimeFrame());
    std::fprintf(out, "Profile %s, AIR %.1f %%, GROUND %.1f %%, soft start %.1f %%\n",
                 api.getactiveProfil() == 0 ? "AIR" : "GROUND", api.getProfilAirTransitionStatus(),
                 api.getProfilGrdTransitionStatus(), api.getTransitionStatus());
}

}  // namespace tarvelin::console
