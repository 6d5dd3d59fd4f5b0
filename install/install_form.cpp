// The install form's figures: what the selected model needs beside this
// machine's memory and graphics cards, each model row's mark, and the free
// space where the folder would go.
#include <install/install_engine.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/engine_task.h>
#include <install/install_layout.h>
#include <install/model_fit.h>
#include <install/space_text.h>
#include <platform/disk_space.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>

void CInstallEngine::ShowModelNeeds(int index) {
  m_formModel = index;
  InstallFormState& form = m_state.form;
  const auto [first, second] = SplitRequirementText(RequirementTextForListIndex(index));
  // The catalogue's lines are data: translated as the layout's own are.
  form.hardware = tw::Translate("ModelCatalogue", WideToUtf8(first).c_str());
  form.memoryNeed = tw::Translate("ModelCatalogue", WideToUtf8(second).c_str());
  form.modelSize = SizeTextForListIndex(index);
  // The machine beside the model's need, so nobody starts what cannot run.
  const std::uint64_t memory = platform::TotalMemoryBytes();
  const std::uint64_t needed = RequiredMemoryForListIndex(index);
  if (m_graphicsCards) {
    const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
    const ModelFit fit = FitForListIndex(index, card ? card->memoryBytes : 0, memory);
    form.cardKnown = true;
    form.cardLine = GraphicsCardLine(card, fit);
    form.cardWarning = fit == ModelFit::TooLarge;
  }
  if (memory == 0 || needed == 0) {
    form.memoryLine.clear();
    form.memoryWarning = false;
    Publish();
    return;
  }
  const double gib = static_cast<double>(memory) / (1024.0 * 1024.0 * 1024.0);
  const double neededGib = static_cast<double>(needed) / (1024.0 * 1024.0 * 1024.0);
  const bool enough = MemoryIsEnough(memory, needed);
  const bool onCard = !enough && GraphicsCardHolds(index);
  std::wstring format =
      enough ? TW_TR("InstallEngine", "本机内存 %.0f GB，此模型建议 %.0f GB 以上：可以运行。")
      : onCard
          ? TW_TR("InstallEngine", "本机内存 %.0f GB，此模型建议 %.0f GB 以上：显卡可以装下整个模型。")
          : TW_TR("InstallEngine",
                  "本机内存 %.0f GB，此模型建议 %.0f GB 以上：内存不足，"
                  "运行会很慢或无法运行，建议选择更小的模型。");
  form.memoryLine = FormatWString(format.c_str(), gib, neededGib);
  form.memoryWarning = !enough && !onCard;
  Publish();
}

bool CInstallEngine::GraphicsCardHolds(int listIndex) const {
  if (!m_graphicsCards) return false;
  const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
  return card != nullptr &&
         FitForListIndex(listIndex, card->memoryBytes, 0) == ModelFit::GraphicsCard;
}

void CInstallEngine::StartGraphicsDetection() {
  // Not one of StartAction's tasks: looking at the cards is no work the
  // manage page has to wait for.
  StartEngineTask(m_owner, shared_from_this(),
                  [this, probe = graphicsProbe](Action::IAction* action) {
                    const std::vector<platform::GraphicsCard> cards =
                        platform::DetectGraphicsCards(probe);
                    OnWindow(action, [&] { ShowGraphicsCards(cards); });
                    return 0;
                  });
}

void CInstallEngine::ShowGraphicsCards(const std::vector<platform::GraphicsCard>& cards) {
  if (m_graphicsCards) return;
  m_graphicsCards = cards;
  ShowModelFits();
  ShowModelNeeds(m_formModel);
}

void CInstallEngine::ShowModelFits() {
  const platform::GraphicsCard* card = LargestGraphicsCard(*m_graphicsCards);
  const std::uint64_t memory = platform::TotalMemoryBytes();
  for (int row = 1; row <= kModelCount; ++row) {
    const ModelFit fit = FitForListIndex(row - 1, card ? card->memoryBytes : 0, memory);
    m_state.row(row).fit = ModelFitTag(fit);
    m_state.row(row).fitWarning = fit == ModelFit::TooLarge;
  }
}

void CInstallEngine::ShowFreeSpace(const std::wstring& folder) {
  // A relative path says nothing about where it would land.
  const auto free =
      platform::OsPath(folder).is_absolute() ? platform::FreeDiskSpace(folder) : std::nullopt;
  m_state.form.freeSpace = free ? FormatFreeSpace(*free) : std::wstring();
  Publish();
}

std::wstring CInstallEngine::FolderForPickedPath(std::wstring path) {
  if (!path.empty() && path.back() == platform::PathSeparator()) {
    const std::wstring standard = DefaultInstallFolder();
    path += standard.substr(standard.rfind(platform::PathSeparator()) + 1);
  }
  return path;
}
