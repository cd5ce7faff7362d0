#pragma once
// Every text the workspace shows to the user, in one place so tests and reviewers can refer
// to them. "%d" and "%s" are filled with FillPlaceholders.

namespace zelk::msg {

inline constexpr const char* kIntegerRequired = "Integer value required!";
inline constexpr const char* kIntegerBetween = "Value must be an integer between %d and %d!";
inline constexpr const char* kDiscardData =
    "This operation will discard changes made on the data set since the last save\n"
    "Do you wish to save it now? (Or Cancel the operation)";
inline constexpr const char* kDiscardModel =
    "This operation will discard changes made on the model since the last save\n"
    "Do you wish to save it now? (Or Cancel the operation)";
inline constexpr const char* kTerminateProcess = "This will terminate current process!\nProcceed?";
inline constexpr const char* kOperationCancelled = "\nOperation cancelled ...";
inline constexpr const char* kHeaderInvalid = "File header is invalid!";
inline constexpr const char* kInvalidVersion = "Invalid file version!";
inline constexpr const char* kInvalidNumber = "Invalid numeric format!";
inline constexpr const char* kInvalidScale = "A scale is linear, ln or log10.";
// The status bar while a computation runs: what runs, its model calls, its best value.
inline constexpr const char* kRunningSearch = "%s running: %d model calls, best %s";
inline constexpr const char* kRunningFLimit = "F-Limit %s %d running: %d model calls, min %s";
inline constexpr const char* kRunningDesign = "Design running: %d model calls, det. %s";
inline constexpr const char* kRunningMultiStart =
    "Multi-start running: %d of %d starts done, %d failed, best %s";
inline constexpr const char* kMultiStartEnded =
    "Multi-start ended: %d of %d starts done, %d failed; best objective %s (start %d), reached "
    "by %d.";
inline constexpr const char* kMultiStartNothing = "Multi-start ended: no start gave an objective.";
inline constexpr const char* kModelCompiled = "%s compiled and loaded.";
inline constexpr const char* kGNConverged =
    "Optimize GN ended: the last step lowered the objective no further (converged).";
inline constexpr const char* kLimitsUnfinished =
    "F-Limits ended; %d limit(s) were cut short before their search ended (shown in grey, "
    "marked * in the report).";
inline constexpr const char* kReportLimitCut =
    "* where the search of this limit stood when it was cut short (Stop or the call limit).";
inline constexpr const char* kGNFailed =
    "Optimize GN ended: the model could not be solved for the Jacobian or for any step (solve failed).";
inline constexpr const char* kLMEnded = "Optimize LM ended (%s): %s";
inline constexpr const char* kLMMovedInside =
    "Optimize LM started parameter %d at %s: its start lay outside its bounds.";
inline constexpr const char* kLMNeedsSquares =
    "Optimize LM fits a sum of squares: choose \"Sum of Squares\" or \"Weighted SS\" under "
    "Objective Function Type on the Flow page first.";
inline constexpr const char* kSaveFailed = "File Save Failed!";
inline constexpr const char* kOpenFailed = "File Open Failed!";
inline constexpr const char* kRecentGone = "the file is no longer there; it leaves the Recent list.";
inline constexpr const char* kNotImplemented = "This function is not implemented yet!";
inline constexpr const char* kNotSupported = "%s files are not supported!";
inline constexpr const char* kClearCells = "Do you wish to clear all selected cells?";
inline constexpr const char* kPasteLeftOut =
    "The pasted text reaches beyond the data set's %d rows and %d columns: %d values were left "
    "out. Raise the counts on the Dimension page to take them.";
inline constexpr const char* kPasteTooLong =
    "The pasted text is longer than %d characters: %d values were left out.";
// A model text that indexes beyond the Dimension page: index, model line, count.
inline constexpr const char* kDyBeyondDifEqCount =
    "Warning: dy^[%d] (line %d) is beyond the %d differential equation(s) set on the Dimension "
    "page";
inline constexpr const char* kYBeyondDepCount =
    "Warning: y^[%d] (line %d) is beyond the %d dependent variable(s) set on the Dimension page";
inline constexpr const char* kPBeyondParamCount =
    "Warning: p^[%d] (line %d) is beyond the %d parameter(s) set on the Dimension page";
// Input/output errors of the data reader; the platform has no fixed texts for these.
inline constexpr const char* kCannotOpen = "Cannot open the file \"%s\": %s";
inline constexpr const char* kTruncated =
    "The file \"%s\" ends early: it holds %d bytes, its counts need %d.";

inline constexpr const char* kDataFileTooLarge =
    "The file \"%s\" is too large: its counts need %d bytes, more than the %d a data file may "
    "hold.";
inline constexpr const char* kDataSetTooLarge =
    "The file \"%s\" holds %d events of %d variables, more than a data set can hold in "
    "memory (%d values a block).";
inline constexpr const char* kDimensionsTooLarge =
    "%d events of %d variables are more than a data set can hold in memory (%d values a "
    "block); the dimensions were not changed.";
inline constexpr const char* kNonFiniteValue =
    "The file \"%s\" holds a value that is not a finite number at %s.";

inline constexpr const char* kUntitledData = "UntitledData.zkd";
inline constexpr const char* kUntitledModel = "UntitledModel.mod";
inline constexpr const char* kSaved = " [Saved]";
inline constexpr const char* kModified = " [Modified]";
inline constexpr const char* kCompiled = "Compiled";
inline constexpr const char* kNotCompiled = "Not Compiled";
inline constexpr const char* kCompiling = "Compiling...";

inline constexpr const char* kOpenDataTitle = "Open Data File ...";
inline constexpr const char* kOpenDataFilter =
    "Zelk Data File (*.zkd)|*.zkd|Gorun Data File (*gr2)|*.gr2|"
    "Gorun Data File - former version (*grd)|*.grd|CSV Data (*.csv)|*.csv|All Files (*.*)|*.*";
inline constexpr const char* kSaveDataTitle = "Save Experimental Data As ...";
inline constexpr const char* kSaveDataFilter = "Zelk Data File (*.zkd)|*.zkd|CSV Data (*.csv)|*.csv";
// A data set beyond the .zkd layout: CSV first.
inline constexpr const char* kSaveLargeDataFilter = "CSV Data (*.csv)|*.csv";
inline constexpr const char* kOpenModelTitle = "Open Model Source ...";
inline constexpr const char* kSaveModelTitle = "Save Model Source As ...";
inline constexpr const char* kModelFilter = "Zelk Model Code (*.mod)|*.mod";
inline constexpr const char* kSaveModelFirst =
    "Model must be saved locally to perform this operation!\nDo you wish to save it now?";
inline constexpr const char* kPreferencesNotSaved =
    "The preferences could not be saved to \"%s\": %s";
inline constexpr const char* kInitialSolveFailed =
    "Model cannot be solved for given initial estimates";
inline constexpr const char* kSolveFailed = "Solve Model Failed";
inline constexpr const char* kTooFewObservations =
    "Too few observations for standard errors: %s observations and %s parameters leave %s "
    "degrees of freedom.";
inline constexpr const char* kVarianceNotPositive =
    "The variance of parameter %s is not positive: the parameters cannot all be estimated from "
    "these data.";
inline constexpr const char* kNormalMatrixSingular =
    "The normal matrix is singular: the parameters cannot all be estimated from these data.";
inline constexpr const char* kTooFewForLimits =
    "Too few observations for F-test limits: %s observations and %s parameters leave %s "
    "degrees of freedom.";
inline constexpr const char* kLimitCellRequired =
    "A cell in Upper or Lower F-limit column and active parameter row must be selected!";
inline constexpr const char* kProcessCompleted = "Process Successfully Completed";
inline constexpr const char* kLowerLimit = "Lower";
inline constexpr const char* kUpperLimit = "Upper";
inline constexpr const char* kNotEnoughEvents = "Not enough events to perform test!";
inline constexpr const char* kMultivariableDesign =
    "This feature is not supported in multivariable models!";
inline constexpr const char* kDesignTooLarge =
    "The data set holds %s events: with %s new points it would exceed %s.";
inline constexpr const char* kDesignNothing =
    "No design raised the determinant of the normal matrix above 0: the parameters cannot all "
    "be estimated from these data and points.";
inline constexpr const char* kCovarianceDeterminant = "Covariance matrix determinant = ";
// What the "Std. Error" column holds: the details grid's heading tip and the report's note.
inline constexpr const char* kStdErrorHeadingTip = "95 % half-width: t(ν) × standard error";
inline constexpr const char* kReportScaleNote =
    "Fitted on a logarithmic scale: %s; their Std. Error x/\xC3\xB7 f spans value / f to value \xC3\x97 f.";
inline constexpr const char* kReportStdErrorNote =
    "Std. Error: 95 % half-width, t(ν) × standard error, ν = %s";
inline constexpr const char* kModelUntitled =
    "The model has no file yet: save it before it is compiled.";
inline constexpr const char* kSourceNotWritten = "Cannot write the library source \"%s\": %s";
inline constexpr const char* kModelNotCompiled =
    "The model \"%s\" did not compile: %s error(s).\nThe compiler's messages are on the "
    "Messages page.";
// The same for a terminal, where the compiler's messages went to standard error.
inline constexpr const char* kModelNotCompiledTerminal =
    "The model \"%s\" did not compile: %s error(s); the compiler's messages are above on "
    "standard error.";
// A library built earlier from the same model text, dimensions and compiler.
inline constexpr const char* kModelLoadedFromCache = "%s loaded, compiled earlier.";
inline constexpr const char* kScriptNotWritten = "Cannot write the compile script \"%s\": %s";

inline constexpr const char* kExportParametersTitle = "Export Parameters To ...";
inline constexpr const char* kImportParametersTitle = "Import Parameters From ...";
inline constexpr const char* kParameterFilter = "Zelk Parameter File (*.par)|*.par";
inline constexpr const char* kImportPetabTitle = "Import PEtab Problem ...";
inline constexpr const char* kPetabFilter = "PEtab Problem (*.yaml *.yml)|*.yaml;*.yml";
inline constexpr const char* kImportSbmlTitle = "Import SBML Model ...";
inline constexpr const char* kSbmlFilter = "SBML Model (*.xml *.sbml)|*.xml;*.sbml";
inline constexpr const char* kImportSaveTitle = "Save the Imported Model As ...";
inline constexpr const char* kImported =
    "Imported %s as %s: the model, its data and its parameter table.";
inline constexpr const char* kImportedLikelihood =
    "The objective is \"Likelihood\" and the integrator BDF at tolerances 1e-8 and 1e-12 at "
    "most (Preferences): the problem's negative log-likelihood, on a model that may be stiff.";
inline constexpr const char* kSaveReportTitle = "Save Report ...";
inline constexpr const char* kReportFilter = "Rich Text (*.rtf)|*rtf";

inline constexpr const char* kExportChartTitle = "Export Fitchart To Metafile ...";
inline constexpr const char* kExportChartFilter =
    "Enhanced Metafile (*.emf)|*.emf|PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg";
inline constexpr const char* kPrinterNotStarted = "The printer could not be started.";
inline constexpr const char* kChartNotWritten = "Cannot write the fit chart to \"%s\": %s";
inline constexpr const char* kExportPictureTitle = "Export Picture ...";
inline constexpr const char* kPictureFilter = "PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg";
inline constexpr const char* kPictureNotWritten = "Cannot write the picture to \"%s\": %s";

// The preferences dialog.
inline constexpr const char* kNumericRequired = "Numeric value required!";
inline constexpr const char* kToleranceRequired = "A tolerance from 1e-14 to 0.01 required!";
inline constexpr const char* kLMToleranceRequired = "A tolerance from 1e-16 to 0.1 required!";
inline constexpr const char* kBrowseCompilerTitle = "Browse for file ...";
inline constexpr const char* kBrowseCompilerFilter = "Application Executable (*.exe)|*.exe";

// Hostile and broken inputs: a model that does not return, files that lie about their size
// or are no files, saves that must not replace what they may not, CSV tables out of bounds.
inline constexpr const char* kModelTimeLimit =
    "The model ran past the time limit of %s s: its solution was stopped.";
inline constexpr const char* kModelTimeLimitCaption = "Model time limit (seconds)";
inline constexpr const char* kDataFileTooLong =
    "The file \"%s\" is longer than its counts allow: it holds %s bytes, its counts need %s.";
inline constexpr const char* kReasonFolder = "it is a folder";
inline constexpr const char* kReasonNotRegular = "it is not a regular file";
inline constexpr const char* kReasonTooLarge = "it holds %s bytes, more than the %s bytes allowed";
inline constexpr const char* kReasonEndedEarly = "the file ended early";
inline constexpr const char* kReasonReadOnly = "the file is read-only";
inline constexpr const char* kCsvLineTooLong = "line %s is longer than %s characters";
inline constexpr const char* kCsvFileTooLarge = "a CSV data file holds at most %s MiB";
inline constexpr const char* kDataFileLimits =
    "A .zkd data file holds at most 1000 events of 20 independent and 50 dependent variables; "
    "this data set has %s events of %s and %s. Save it as CSV data (a name ending in \".csv\"), "
    "which holds any size.";
inline constexpr const char* kCsvTooManyCells = "line %s has more than %s cells";
inline constexpr const char* kCsvTooManyEvents =
    "a data set has 1 to %s events; the file has more";
inline constexpr const char* kCsvNotFinite =
    "event %s, %s: \"%s\" is not a finite number";

}  // namespace zelk::msg
