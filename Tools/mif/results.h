// results.h - what the result codes of the filter and the host libraries
// mean to a person at the shell.
//
// Every failure the program reports is one line on stderr that names the file
// or the step, the meaning of the code and the code itself, for example
// "mif: bad.mif: not a MIF file of a supported version, or an unsupported
// mode (-9)".
#ifndef TOOLS_MIF_RESULTS_H
#define TOOLS_MIF_RESULTS_H

// The meaning of a result code; a fixed text for codes no library documents.
const char* ResultMessage(int nResult);

// Prints "mif: SUBJECT: MEANING (CODE)" on stderr.
void ReportResult(const char* pszSubject, int nResult);

#endif  // TOOLS_MIF_RESULTS_H
