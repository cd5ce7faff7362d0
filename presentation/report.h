#pragma once
// The report: file names, the objective, the parameter settings and estimates with their
// standard errors and F-test limits, the normalized covariances and every event's residuals,
// as lines of rich text in the report box's font (Verdana, 8 points).

#include <string>
#include <vector>

#include "base/data_set.h"
#include "estimation/fit_result.h"
#include "estimation/parameter_record.h"
#include "model/model_library.h"
#include "model/model_names.h"
#include "presentation/rich_text.h"

namespace zelk {

inline constexpr const char* kReportFontFamily = "Verdana";
inline constexpr int kReportFontSize = 8;

struct ReportInputs {
  std::string ModelFileName, DataFileName;
  std::string TimeAndDate;  // the first line, as the locale writes them
  double BestObjective = 0;
  const TParameterRecord& Parameters;
  const TNormalMatrix& Correlation;
  const TYData& Measured;
  // nu of the standard errors in the record (0: none computed); with it the report notes what
  // its "Std. Error" column holds.
  int StdErrorDof = 0;
  // The search that made the estimates and how it ended ("Optimize LM (converged)"); "" when
  // none ran.
  std::string Search = {};
  // Which F-limit sides are still to be searched (left out) or were cut short (marked *).
  const FitResult* Fit = nullptr;
  // The model's names label the rows and columns where it has them; numbers elsewhere.
  const ModelNames* Names = nullptr;
};

std::vector<RichLine> BuildReport(const ReportInputs& in);

// The report as an RTF file, replacing `path` whole; false with the reason.
bool WriteReport(const std::string& path, const std::vector<RichLine>& lines, std::string& reason);

// The current time and date in the user's locale formats, "time - date".
std::string LocalTimeAndDate();

}  // namespace zelk
