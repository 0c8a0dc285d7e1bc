#include "games/raceroom_reader.h"


namespace tarvelin {

namespace {

constexpr double pi = 3.14159265358979;

// At their offsets in the layouts up to version 3.2.
constexpr BlockField fields[] = {
    {96, lateralSpeed, -1.0, false},
    {112, longitudinalSpeed, -1.0, false},
    {104, verticalSpeed, 1.0, false},
    {144, lateralAccel, -1.0, false},
    {160, longitudinalAccel, -1.0, false},
    {152, verticalAccel, 1.0, false},
    {176, yawPosition, -1.0, true},
    {184, rollPosition, 1.0, true},
    {168, pitchPosition, 1.0, true},
    {248, yawSpeed, -1.0, true},
    {256, rollSpeed, 1.0, true},
    {240, pitchSpeed, 1.0, true},
    {224, yawAccel, -1.0, true},
    {232, rollAccel, 1.0, true},
    {216, pitchAccel, 1.0, true},
};

constexpr std::int32_t yes = 1;

}  // namespace

RaceRoomLayout raceRoomLayout(std::int32_t major, std::int32_t minor) {
    if (major < 3 || (major == 3 && minor <= 2)) return {16, 0};
    if (major == 3 && minor == 3) return {20, 4};
    return {20, 8};
}

bool applyRaceRoomBlock(BlockBytes block, GameData& record) {
    if (block.size() < raceRoomBytesRead) return false;
    const RaceRoomLayout layout = raceRoomLayout(int32At(block, 0), int32At(block, 4));
    if (int32At(block, layout.pausedOffset) == yes) return false;
    if (int32At(block, layout.pausedOffset + 4) == yes || int32At(block, layout.pausedOffset + 8) == yes) return false;
    return decodeFields<double>(block, fields, pi, layout.playerShift).commitTo(record);
}

bool RaceRoomReader::read(GameData& record) {
    return deliverBlockFrame(opened && nameWatch.stillThere() && steadyCopy.take(viewBytes(block)) &&
                                 applyRaceRoomBlock(steadyCopy.bytes(), record),
                             *this, record);
}

}  // namespace tarvelin
