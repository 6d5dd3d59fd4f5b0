# The two everyday commands: `make run` starts the assistant, `make test` runs
# every test. Both install what they need first.
PRESET ?= default

.PHONY: run test test-% build-% deps clean bench fuzz build-windows test-windows package

deps:
	@bash scripts/deps.sh

# build-<preset>, e.g. build-tsan; build-clang builds everything with clang,
# warnings as errors, the lock annotations checked (-Wthread-safety).
build-%: deps
	cmake --preset $*
	cmake --build --preset $*

# The assistant against the local vendor service, which stops with it.
# Without a display (a server, CI) the window opens on a virtual one.
run: build-$(PRESET)
	@bash scripts/run_local.sh build/$(PRESET)

test: test-$(PRESET)

test-%: build-%
	ctest --preset $*

# The Debian packages: build/$(PRESET)/tidewell_<version>_amd64.deb and
# tidewell-vendor-service_<version>_amd64.deb.
package: build-$(PRESET)
	cd build/$(PRESET) && cpack -G DEB

# Benchmarks: an optimised build, run by hand, never by CI.
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	./build/bench/benchmarks/action_roundtrip_bench --benchmark_repetitions=3 \
	    --benchmark_report_aggregates_only=true

# A short fuzz run of the zip reader from a copy of the kept corpus.
FUZZ_SECONDS ?= 60
fuzz: build-fuzz
	rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
	cp tests/data/fuzz/zip_corpus/* build/fuzz/corpus/
	cd build/fuzz && ./fuzz/zip_reader_fuzz -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 corpus

clean:
	rm -rf build

# Windows: every layer below the window cross-built with mingw-w64 (the
# dependencies Debian has no mingw build of are built from its sources,
# once), the tests run under Wine in a throwaway prefix.
build-windows:
	@bash scripts/windows_deps.sh
	cmake --preset windows
	cmake --build --preset windows

# A failed test is run once more: a few workflow cases fail now and then
# under Wine only (README, "Known limits on Windows"); the first failure
# stays in the log.
test-windows: build-windows
	ctest --preset windows --repeat until-pass:2
	@bash scripts/wine_run.sh --stop
