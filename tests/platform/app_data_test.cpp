#include <gtest/gtest.h>

#include <filesystem>

#include "platform/app_data.h"

using tarvelin::platform::CreateFolderResult;

TEST(AppData, NamesAnExistingFolder) {
    const auto folder = tarvelin::platform::roamingAppDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(AppData, CreateFolderTellsNewFromExistingFromImpossible) {
    const auto folder = tarvelin::platform::roamingAppDataFolder() / "tarvelin_folder_test";
    std::filesystem::remove_all(folder);
    EXPECT_EQ(tarvelin::platform::createFolder(folder), CreateFolderResult::created);
    EXPECT_EQ(tarvelin::platform::createFolder(folder), CreateFolderResult::alreadyExists);
    EXPECT_EQ(tarvelin::platform::createFolder(folder / "missing" / "deeper"), CreateFolderResult::failed);
    std::filesystem::remove_all(folder);
}
