#include "assetto_corsa_evo_encoder.h"

#include <memory>

#include "assetto_corsa_encoder.h"
#include "block_feed.h"

namespace tarvelin::emulator {

namespace {

std::unique_ptr<GameFeed> openFeed(std::uint16_t) {
    return std::make_unique<BlockFeed>(L"Local\\acevo_pmf_physics", 800, writeAssettoCorsaPhysics,
                                       assettoCorsaPacketStamp);
}

}  // namespace

const GameEncoder assettoCorsaEvoEncoder{"assettocorsaevo", "AssettoCorsaEvo", 333.0, Transport::sharedMemory, 0,
                                         "AssettoCorsaEVO.exe", openFeed};

}  // namespace tarvelin::emulator
