# The two everyday commands: `make run` starts the assistant, `make test` runs
# every test. Both install what they need first.
PRESET ?= default

.PHONY: run test test-% build-% deps clean bench

deps:
	@bash scripts/deps.sh

build-%: deps
	cmake --preset $*
	cmake --build --preset $*

# Without a display (a server, CI) the window opens on a virtual one.
run: build-$(PRESET)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./build/$(PRESET)/app/tidewell; \
	else echo "No display: running on a virtual X server (xvfb-run)."; \
	     xvfb-run -a ./build/$(PRESET)/app/tidewell; fi

test: test-$(PRESET)

test-%: build-%
	ctest --preset $*

# Benchmarks: an optimised build, run by hand, never by CI.
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	./build/bench/benchmarks/action_roundtrip_bench --benchmark_repetitions=3 \
	    --benchmark_report_aggregates_only=true

clean:
	rm -rf build
