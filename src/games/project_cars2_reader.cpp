#include "games/project_cars2_reader.h"

#include <cstdint>


namespace tarvelin {

namespace {

constexpr double pi = 3.14159265358979;
constexpr std::int32_t playing = 2;

constexpr BlockField fields[] = {
    {6956, lateralAccel, 1.0, false},
    {6964, longitudinalAccel, 1.0, false},
    {6960, verticalAccel, 1.0, false},
    {6920, lateralSpeed, 1.0, false},
    {6928, longitudinalSpeed, 1.0, false},
    {6924, verticalSpeed, 1.0, false},
    {6948, yawSpeed, -1.0, true},
    {6952, rollSpeed, 1.0, true},
    {6944, pitchSpeed, 1.0, true},
    {6912, yawPosition, -1.0, true},
    {6916, rollPosition, 1.0, true},
    {6908, pitchPosition, 1.0, true},
};

}  // namespace

bool applyProjectCars2Block(BlockBytes block, GameData& record) {
    if (block.size() < projectCars2BytesRead || int32At(block, 8) != playing) return false;
    return decodeFields<float>(block, fields, pi).commitTo(record);
}

bool ProjectCars2Reader::read(GameData& record) {
    return deliverBlockFrame(opened && nameWatch.stillThere() && steadyCopy.take(viewBytes(block)) &&
                                 applyProjectCars2Block(steadyCopy.bytes(), record),
                             *this, record);
}

}  // namespace tarvelin
