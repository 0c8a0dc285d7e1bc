/* The README's example of a host written in C: read the channel names, then the record. */
#include <stdio.h>

#include "tarvelin/motion.h"

int main(void) {
    const char* const* names = NULL;
    double* channels = NULL;
    int nameCount = 0;
    int channelCount = 0;

    getGameDataNames(&names, &nameCount);
    getGameData(&channels, &channelCount);
    if (nameCount != 43 || channelCount != 43 || getGameDataCount() != 44) return 1;

    SetRigDofLimitValue(0, -1.0, 1.0);
    for (int i = 1; i <= 41; ++i) printf("%-16s %10.4f\n", names[i - 1], channels[i]);
    printf("cycle %.3f ms, telemetry frame %.3f ms, profile %d\n", getMotionDataTimeFrame(),
           getGameTimeFrame(), getactiveProfil());
    return 0;
}
