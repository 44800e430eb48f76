#include "cli/man_page.h"

#include "app/program_info.h"
#include "cli/option_reference.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Text for roff: backslashes doubled as "\e", and a line that would start with a control
// character ("." or "'") guarded by "\&".
QString roffText(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\e"));
    if (escaped.startsWith(u'.') || escaped.startsWith(u'\'')) {
        escaped.prepend(QStringLiteral("\\&"));
    }
    return escaped;
}

// An option or key name in bold, its hyphens as minus signs so that it can be copied and searched.
QString roffName(const QString& name)
{
    return QStringLiteral("\\fB") + QString(name).replace(u'-', QStringLiteral("\\-")) + QStringLiteral("\\fR");
}

// "--input=FILE" -> "\fB\-\-input\fR=\fIFILE\fR"; "-i FILE" -> "\fB\-i\fR \fIFILE\fR".
QString roffOptionForm(const QString& form)
{
    const qsizetype split = form.indexOf(QRegularExpression(QStringLiteral("[ =]")));
    const QString name = split < 0 ? form : form.left(split);
    QString roff = roffName(name);
    if (split >= 0) {
        roff += form[split] + QStringLiteral("\\fI") + roffText(form.mid(split + 1)) + QStringLiteral("\\fR");
    }
    return roff;
}

QString optionsSection()
{
    QString text = QStringLiteral(".SH OPTIONS\n");
    for (const ReferenceGroup& group : optionReferenceGroups()) {
        text += QStringLiteral(".SS ") + roffText(group.title) + u'\n';
        for (const ReferenceEntry& entry : group.entries) {
            QStringList forms;
            for (const QString& form : entry.forms) {
                forms << roffOptionForm(form);
            }
            text += QStringLiteral(".TP\n") + forms.join(QStringLiteral(", ")) + u'\n' + roffText(entry.help);
            if (!entry.profileKey.isEmpty()) {
                text += QStringLiteral(" (profile key ") + roffName(entry.profileKey) + u')';
            }
            text += u'\n';
            if (!entry.values.isEmpty()) {
                text += QStringLiteral(".br\nValues: ") + roffText(entry.values) + u'\n';
            }
            if (!entry.defaultValue.isEmpty()) {
                text += QStringLiteral(".br\nDefault: ") + roffText(entry.defaultValue) + u'\n';
            }
        }
    }
    return text;
}

constexpr const char* headSections = R"(.SH NAME
tessaline \- batch converter for TIFF images
.SH SYNOPSIS
.B tessaline
.RI [ FILE ...]
.br
.B tessaline
.B \-i
.I INPUT
.RI [ OPTION ...]
.br
.B tessaline
.BR \-v " | " \-h
.SH DESCRIPTION
.B tessaline
converts TIFF images, single\- or multi\-page, into any of 23 image formats, each with its own
encoder options and bit depth. On the way every page can be rotated, resized, flipped,
colour\-corrected, turned to greyscale or black and white, framed and watermarked. Output files are
named by a file name mask and can mirror the folder tree of the input.
.PP
Started with
.BR \-i ,
it is a console tool: it converts the named TIFF file, the files of a list file (one path per
line) or every TIFF below a folder, reports on standard output and exits. It starts from built\-in
defaults and the options below, and never reads or writes the desktop application's settings.
.PP
Started without
.BR \-i ,
it opens the desktop application. Files and folders named on such a command line are added to
its file list as if they had been dropped on the window; other parameters have no effect. While
a window is open, the start hands them to that window, which comes to the front, and ends at once.
.PP
Options are matched in any letter case.
.BR \-i ,
.B \-o
and
.B \-c
take their value as the next parameter or after
.BR = ;
every other option with a value takes it after
.B =
only. Numbers may be written in hexadecimal after
.B $
or in binary after
.BR % .
)";

constexpr const char* tailSections = R"(.SH EXIT STATUS
.TP
.B 0
Every file found was converted, or the version or usage text was written.
.TP
.B 1
An error line ("Error: ...") was written on standard error; nothing was converted.
.TP
.B 2
The conversion stopped: no input file was found, or no file could be converted.
.TP
.B 3
Some files were converted and some were not; or, with
.BR \-\-update ,
files were up to date and every other file failed.
.TP
.B 130
The run was ended by an interrupt (SIGINT, Ctrl+C), after its summary.
.TP
.B 143
The run was ended by SIGTERM, after its summary.
.PP
The desktop application exits with status 0. A start that cannot open its window (no graphical
display, a runtime folder that cannot hold its lock) writes an error line and exits with status 1.
.SH FILES
.TP
.I $XDG_CONFIG_HOME/Morvane/tessaline/config.ini
The settings of the desktop application (\fI~/.config\fR when XDG_CONFIG_HOME is not set).
.TP
.I <prefix>/share/tessaline/gfx/
Theme packs (ZIP files) for the pictures of the desktop application.
.TP
.I <prefix>/share/tessaline/tessaline.html
The user manual, opened by Help \(em Manual (F1).
.SH EXAMPLES
Every TIFF below \fI~/scans\fR into \fI~/converted\fR as JPEG at quality 90:
.PP
.RS
.nf
tessaline \-i ~/scans \-o ~/converted \-c jpg \-\-jpg\-quality=90
.fi
.RE
.PP
One PNG per page of a multi\-page document, each fitted into 800 \(mu 800 pixels (smaller
pages are enlarged unless
.BR \-\-resize\-type=largeimages ):
.PP
.RS
.nf
tessaline \-i report.tif \-c png \-\-width=800 \-\-height=800 \-\-keep\-aspect\-ratio
.fi
.RE
.SH SEE ALSO
The user manual
.IR tessaline.html ,
with the desktop application, the file name mask and theme packs.
)";

} // namespace

QString manPage()
{
    const QString header =
        QStringLiteral(".TH TESSALINE 1 \"\" \"") + programTitle() + QStringLiteral("\" \"User Commands\"\n");
    return header + QString::fromUtf8(headSections) + optionsSection() + QString::fromUtf8(tailSections);
}
