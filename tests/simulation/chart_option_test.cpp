// The batch command's --chart option: the chart of the finished run written
// as chart-KIND.png into the --out folder, and kinds that are no chart refused.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

#include <unistd.h>

#include "app/chart_image.h"
#include "platform/backend.h"
#include "simulate_command.h"

namespace {

TEST(SimulateChart, ChartKindWritesAPictureBesideTheTables)
{
    const auto out = std::filesystem::temp_directory_path() /
                     ("pulsebench-chart-" + std::to_string(::getpid()));
    SimulateOptions o;
    o.length = 300;
    o.pulsesFrom = 2;
    o.pulsesTo = 4;
    o.pulsesStep = 2;
    o.noiseSteps = 3;
    o.noiseStep = 15;
    o.repeats = 2;
    o.required = 4;
    o.threads = 1;
    o.quiet = true;
    o.out = out.string();
    o.chart = "2";
    EXPECT_EQ(runSimulate(o), 0);
    ASSERT_TRUE(std::filesystem::exists(out / "simulation.json"));
    ASSERT_TRUE(std::filesystem::exists(out / "chart-2.png"));
    // The platform was started for the picture and stopped again; QImage reads PNG without it.
    EXPECT_FALSE(platformStarted());
    const QImage image(QString::fromStdString((out / "chart-2.png").string()));
    EXPECT_EQ(image.width(), kChartImageWidth);
    EXPECT_EQ(image.height(), kChartImageHeight);
    EXPECT_EQ(image.pixel(10, 10), qRgb(0, 0, 0));  // the area's frame
    std::filesystem::remove_all(out);
}

TEST(SimulateChart, KindsThatAreNoChartAreRefused)
{
    CLI::App app;
    SimulateOptions parsed;
    addSimulateOptions(app, parsed);
    app.parse("--chart 13", false);
    EXPECT_EQ(parsed.chart, "13");
    CLI::App refusing;
    SimulateOptions other;
    addSimulateOptions(refusing, other);
    EXPECT_THROW(refusing.parse("--chart 7", false), CLI::ValidationError);
}

} // namespace
