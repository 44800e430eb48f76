#pragma once

#include <QString>

// The addresses on the maker's web site and the mail addresses the program hands to the desktop.
// They are made from the endpoints set at configure time (app/endpoints.h).

// The maker's web site, as configured ("http://www.morvane.example").
QString makerWebSiteAddress();
// The product's page: the web site followed by "/tessaline/".
QString productPageAddress();
// The uninstall page: the web site followed by "/tessaline/uninstall.html".
QString uninstallPageAddress();
// The converter finder's page for a source and a target extension: ".../find/jpg-png/".
QString converterFinderAddress(const QString& sourceExtension, const QString& targetExtension);
// "mailto:" and the support address.
QString supportMailAddress();
// The support address with the subject "<program title> Feedback"; the subject is not encoded.
QString feedbackMailAddress();
