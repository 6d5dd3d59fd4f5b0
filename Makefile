# The two everyday commands: `make run` starts the assistant, `make test` runs
# every test. Both install what they need first.
PRESET ?= default

.PHONY: run test test-% build-% deps clean

deps:
	@bash scripts/deps.sh

build-%: deps
	cmake --preset $*
	cmake --build --preset $*

run: build-$(PRESET)
	./build/$(PRESET)/app/tidewell

test: test-$(PRESET)

test-%: build-%
	ctest --preset $*

clean:
	rm -rf build
