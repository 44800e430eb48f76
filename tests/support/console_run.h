#pragma once

#include "app/settings.h"
#include "engine/core/job_state.h"
#include "engine/run/conversion_run.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A temporary folder with an empty output folder "out/" in it, the console's default settings and
// the job record of a console run, for tests that convert files through the pipeline.
class ConsoleRun : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        resetToDefaults(settings, true);
        job.consoleRun = 1;
        job.outputFolder = dir.path() + QStringLiteral("/out/");
        ASSERT_TRUE(QDir().mkpath(job.outputFolder));
    }

    // Prepares the run for the output format `key` with the settings in hand.
    void useFormat(const QString& key)
    {
        job.outputKey = key;
        ASSERT_TRUE(prepareRun(settings, job));
    }

    // Every file in the output folder, temporary ones included, by name.
    QStringList outputs() const { return QDir(job.outputFolder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir dir;
    Settings settings;
    JobState job;
};
