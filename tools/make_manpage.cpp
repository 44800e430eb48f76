// Writes the manual page tessaline(1), made from the option table, to the file named.
#include "cli/man_page.h"

#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make-manpage OUT\n", stderr);
        return 2;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray text = manPage().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        std::fprintf(stderr, "make-manpage: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
