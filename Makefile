# The two everyday commands. Each installs what is missing, configures and builds first.
PRESET ?= default
BUILD := build/$(PRESET)

.PHONY: play test build deps bench clean

play: build
	./$(BUILD)/quillet3

test: build
	ctest --preset $(PRESET)

bench: build
	./$(BUILD)/quillet3_bench

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

deps:
	./scripts/install-deps

clean:
	rm -rf build
