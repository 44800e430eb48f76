#include "gui/gui_conversion.h"

#include "app/folder_history.h"
#include "app/message_catalogue.h"
#include "engine/run/conversion_run.h"
#include "engine/run/run_checks.h"
#include "engine/steps/watermark.h"
#include "gui/command_bars.h"
#include "gui/desktop_records.h"
#include "gui/message_boxes.h"
#include "gui/output_choosers.h"
#include "gui/progress_window.h"
#include "gui/requesters.h"
#include "gui/window_port.h"

#include <QComboBox>

namespace {

QString conversionStopped()
{
    return message(QStringLiteral("Msg/Conversion is not complete"));
}

void runConversionProgress(WindowPort& window, DesktopRecords& records, const Requesters& requesters,
                           const WatermarkAssets& watermark)
{
    const int total = records.inputFiles.size();
    ProgressWindowSetup setup;
    setup.task = ProgressTask::Conversion;
    setup.maximum = total + 1;
    setup.total = total;
    setup.showStatus = [&window](const QString& text) { window.setStatusText(text); };
    setup.askToStop = requesters.askWarning;
    RunContext context{records.settings, records.job, &watermark};
    const InputFileList& files = records.inputFiles;
    ProgressWindow progressWindow(std::move(setup), &window.portWidget());
    progressWindow.run(
        [&](RunProgress& progress) { conversionWorker(context, files, progress, defaultWorkerCount()); });
    window.portWidget().activateWindow();
}

} // namespace

void startGuiConversion(WindowPort& window, DesktopRecords& records, const Requesters& requesters)
{
    JobState& job = records.job;
    job.outputFolder = window.outputFolderChooser().currentText().trimmed();
    job.outputKey = selectedOutputFormat(window.outputFormatChooser());
    window.setStatusText(message(QStringLiteral("General/Preparing")));

    // Loaded once for the whole run; released when the run is over.
    WatermarkAssets watermark;
    if (const RunProblem problem = checkWindowedConversion(records.settings, job, records.inputFiles, watermark)) {
        if (runProblemRow(problem.kind).status == StatusAfterProblem::ConversionStopped) {
            window.setStatusText(conversionStopped());
        }
        showWarning(runProblemMessage(problem));
        return;
    }
    if (!prepareRun(records.settings, job)) {
        window.setStatusText(conversionStopped());
        return;
    }
    addToFolderHistory(records.settings, job.outputFolder);
    fillFolderHistory(window.outputFolderChooser(), records.settings, job.outputFolder,
                      smallIcon(records.images, QStringLiteral("FavFolder")));
    window.setStatusText(message(QStringLiteral("General/Converting")));
    runConversionProgress(window, records, requesters, watermark);
}
