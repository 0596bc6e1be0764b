# The everyday commands. Each installs what is missing (scripts/install-deps), configures and
# builds first; `make play` builds only the program, `make test` everything the tests run (the
# page among them), `make web` the page in build/web/ (serve it with
# `python3 -m http.server -d build/web`).
PRESET ?= default
BUILD := build/$(PRESET)

.PHONY: play test build configure deps bench web clean

play: configure
	cmake --build --preset $(PRESET) --target quillet3
	./$(BUILD)/quillet3

test: build web
	ctest --preset $(PRESET)

bench: build
	./$(BUILD)/quillet3_bench

web: deps
	./scripts/build-web

build: configure
	cmake --build --preset $(PRESET)

configure: deps
	cmake --preset $(PRESET)

deps:
	./scripts/install-deps

clean:
	rm -rf build
