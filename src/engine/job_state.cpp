#include "engine/job_state.h"

#include "app/program_info.h"
#include "engine/input_file_list.h"

#include <QRandomGenerator>

std::int32_t drawRandomValue()
{
    // bounded() excludes its upper end: 1..99999, uniform.
    return static_cast<std::int32_t>(QRandomGenerator::global()->bounded(1, 100000));
}

void resetJobState(JobState& job, InputFileList& inputFiles)
{
    // mode, imageWidth and imageHeight belong to the process and the last saved page.
    job.programFolder = programFolder();
    job.inputPath.clear();
    job.inputFolder.clear();
    job.subfolder.clear();
    job.outputPath.clear();
    job.tempPath.clear();
    job.outputFolder.clear();
    job.randomValue = drawRandomValue();
    job.counterValue = 1;
    job.inputKey.clear();
    job.sourceBpp = 0;
    job.formatId = 0;
    job.outputKey.clear();
    job.targetBpp = 0;
    job.saveFlags = 0;
    job.autoBpp = 0;
    job.interfaceChangeFlags = 0;
    job.consoleRun = 0;
    job.preferencesStartPage = 0;
    inputFiles.clear();
}
