#include <gtest/gtest.h>

#include "cloud/pipeline/cloud_detail.h"

using namespace kl::cloudui;

TEST(CloudDetail, TextsOfThePage) {
    EXPECT_EQ(detailFromText("lekki"), Detail::Lekki);
    EXPECT_EQ(detailFromText("standard"), Detail::Standard);
    EXPECT_EQ(detailFromText("full"), Detail::Full);
    EXPECT_EQ(detailFromText("extra"), Detail::Standard);
    EXPECT_EQ(detailFromText(""), Detail::Standard);
    EXPECT_EQ(voxelEdge(Detail::Lekki), 0.5);
    EXPECT_EQ(voxelEdge(Detail::Standard), 0.2);
    EXPECT_EQ(voxelEdge(Detail::Full), 0.0);
}

TEST(CloudDetail, EstimateOfAHectareAtTwelvePointsPerSquareMetre) {
    const auto light = estimateCloud(100.0 * 100.0, 12, Detail::Lekki);
    EXPECT_EQ(light.points, 40000);
    EXPECT_DOUBLE_EQ(light.sizeMB, 0.64);
    EXPECT_FALSE(light.overLimit);
    EXPECT_EQ(estimateCloud(1e4, 12, Detail::Standard).points, 120000);
    EXPECT_EQ(estimateCloud(1e4, 12, Detail::Full).points, 120000);
}

TEST(CloudDetail, BudgetIsEightMillionPoints) {
    EXPECT_FALSE(estimateCloud(8'000'000, 1, Detail::Full).overLimit);
    EXPECT_TRUE(estimateCloud(8'000'001, 1, Detail::Full).overLimit);
    EXPECT_EQ(estimateCloud(10.4, 1, Detail::Full).points, 10);
    EXPECT_EQ(estimateCloud(10.5, 1, Detail::Full).points, 11);
}
