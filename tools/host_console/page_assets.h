#pragma once
// The tuning page's files, built into the console (the build generates their contents).

#include <cstddef>
#include <string_view>

namespace tarvelin::console {

struct PageAsset {
    std::string_view path;         // as requested: "/index.html", "/uPlot.iife.min.js", ...
    std::string_view contentType;
    std::string_view content;
};

// The asset at `path`, null when there is none.
const PageAsset* findPageAsset(std::string_view path);

}  // namespace tarvelin::console
