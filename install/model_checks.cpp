#include <install/model_checks.h>

#include <vector>

#include <base/text_helpers.h>
#include <catalogue/model_catalogue.h>
#include <install/ollama_runner.h>
#include <install/runner_api.h>
#include <service/event_reporter.h>

bool RunnerListsModel(const std::string& tag, const InstallLayout& layout, int serverTimeoutMs) {
  std::vector<RunnerModel> models;
  if (EnsureRunnerServer(layout, {}, serverTimeoutMs) == RunnerServerState::Ready) {
    models = ListRunnerModels(RunnerServerAddress(), kRunnerCommandTimeoutMs).value_or(models);
  }
  // The report says whether this model arrived, not whether any model is
  // there: a vendor counts failed pulls by it.
  const std::string wanted = ToLowerAscii(tag);
  bool listed = false;
  for (const RunnerModel& model : models) listed = listed || ToLowerAscii(model.name) == wanted;
  GetEventReporter().Report(listed ? "modelDownSuccDeepseek" : "modelDownFailsDeepseek");
  return listed;
}

RunnerCheck FindCatalogueModel(const InstallLayout& layout, const std::string& remembered,
                               int serverTimeoutMs) {
  RunnerCheck check;
  if (!IsOllamaInstalled(layout)) return check;
  check.server = EnsureRunnerServer(layout, {}, serverTimeoutMs);
  if (check.server != RunnerServerState::Ready) return check;
  const auto models = ListRunnerModels(RunnerServerAddress(), kRunnerCommandTimeoutMs);
  if (!models || models->empty()) return check;
  std::string candidate;
  for (const RunnerModel& model : *models) {
    const std::string each = CatalogueNumberOfTag(ToLowerAscii(model.name));
    if (each.empty()) continue;
    candidate = each;
    if (each == remembered) break;
  }
  check.found = !candidate.empty();
  check.number = candidate;
  return check;
}
