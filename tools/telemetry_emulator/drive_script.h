#pragma once
// A short scripted drive that every emulated game plays: a standing start, a launch to about
// 97 km/h, braking to 54 km/h, a right-hand corner of about 86 degrees, two bumps, and braking
// to a stop, 29 seconds in all. It repeats seamlessly: each lap starts where and as the last one
// ended, so heading and position carry on.
//
// Velocities are the integrals of the accelerations and the angles the integrals of their rates:
// the script defines speed, path curvature and road height as smooth functions of time and
// derives everything else from them. The body squats and dives with the longitudinal
// acceleration, leans out of the corner and pitches over the bumps as the front and then the
// rear axle cross them.

#include <vector>

#include "vehicle_motion.h"

namespace tarvelin::emulator {

class DriveScript {
public:
    DriveScript();

    // The vehicle's motion `time` seconds after the start (any time ≥ 0; laps repeat).
    VehicleMotion at(double time) const;

    // The length of one lap in seconds.
    static constexpr double lapSeconds = 29.0;

private:
    struct PathPoint {
        double heading;
        double x;
        double y;
    };
    PathPoint pathAt(double lapTime) const;

    std::vector<PathPoint> path_;  // one lap, integrated in fine steps
    PathPoint lapEnd_{};
};

// The script's primitives, exposed for tests: speed (m/s), path curvature (1/m, positive to
// the right), and the road height under the front axle (m), at a time within one lap.
double scriptSpeed(double lapTime);
double scriptCurvature(double lapTime);
double scriptRoadHeight(double lapTime);

}  // namespace tarvelin::emulator
