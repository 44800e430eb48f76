#pragma once

// Each file of these tests holds one Qt Test class and a function that runs it.
int runWebLinksTests(int argc, char** argv);
int runConverterFinderTests(int argc, char** argv);
int runAboutWindowTests(int argc, char** argv);
int runUninstallPageTests(int argc, char** argv);
