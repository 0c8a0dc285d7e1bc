#pragma once
// Helpers shared by the filter tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "filters/filter_parser.h"

namespace filter_test {

// A chain parsed from text that must be valid.
inline std::shared_ptr<tarvelin::FilterSys> chainOf(const std::string& text) {
    auto chain = tarvelin::parseFilterString(text);
    EXPECT_TRUE(chain->valid.load()) << text;
    return chain;
}

// One evaluation with the scales the profiles use.
inline double run(const std::shared_ptr<tarvelin::FilterSys>& chain, double x) {
    return tarvelin::evaluate(chain, x, 1.0, 1.0, 1.0);
}

inline double widened(float value) { return static_cast<double>(value); }

}  // namespace filter_test
