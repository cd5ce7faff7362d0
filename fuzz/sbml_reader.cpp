// An SBML model from any bytes: read and written as a model text, or refused with a message.

#include <cstddef>
#include <cstdint>
#include <string>

#include "estimation/import/model_writer.h"
#include "estimation/import/sbml_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const zelk::SbmlModel model =
        zelk::ReadSbmlModel(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xml");
    zelk::ModelPlan plan;
    for (const zelk::SbmlValue& p : model.Parameters) plan.Parameters.push_back(p.Id);
    zelk::WriteModel(model, plan);
  } catch (const zelk::ImportRefusal&) {
  }
  return 0;
}
