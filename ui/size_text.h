#pragma once
// Sizes on disk as the window shows them: "4.36 GB", "512.00 MB",
// "12.00 KB" or "300 B" (units of 1024, as the install form counts).
#include <QString>

#include <cstdint>

QString SizeText(std::uint64_t bytes);
