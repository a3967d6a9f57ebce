# Korvelt: `make run` starts the program, `make test` builds everything and runs every test.
BUILD ?= build
JOBS  ?= $(shell nproc)
# `make install PREFIX=... DESTDIR=...`: where the program goes (DESTDIR stages it).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: deps configure build programs run test sanitize tsan tidy format format-check bench fuzz install uninstall clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only what a user runs: the window, kvr, the extractor stub, the scheduler and
# the help pages (the `programs` target; not the tests, benchmarks and fuzz
# replays `make build` makes).
programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target programs

run: programs
	@if [ -n "$$DISPLAY" ]; then $(BUILD)/bin/Korvelt $(ARGS); \
	 else xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/bin/Korvelt $(ARGS); fi

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite once more, built with AddressSanitizer and UBSan
# (warnings are errors here too; the benchmarks are left out).
sanitize: deps
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DKORVELT_SANITIZE=ON -DKORVELT_WERROR=ON -DKORVELT_BENCH=OFF >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The engine tests once more, built with ThreadSanitizer: the archiving runs'
# worker threads. Not part of `make test`.
tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DKORVELT_TSAN=ON -DKORVELT_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target test_engine kvr
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R test_engine

# clang-tidy with the checks of .clang-tidy over the program's sources (not the
# tests, benchmarks and fuzz targets); fails on any finding (docs/building.md).
# Only findings are shown: the per-file command lines and the counts of
# warnings clang-tidy filtered out are dropped, so a clean run prints nothing.
TIDY_FOLDERS := text|platform|util|mime|engine|codecs|gui|controls|dialogs|viewer|app|tools
TIDY_NOISE := ^clang-tidy|^[0-9]+ warnings? generated\.$$
tidy: build
	@bash scripts/install-deps.sh dev
	@bash -o pipefail -c 'run-clang-tidy -quiet -p "$$0" -j "$$1" "$$2" 2>&1 | { grep -Ev "$$3" || true; }' \
	  $(BUILD) $(JOBS) '^$(CURDIR)/($(TIDY_FOLDERS))/.*\.cpp$$' '$(TIDY_NOISE)'

# The layout of .clang-format over every tracked C++ source: `make format`
# applies it, `make format-check` (run by CI) fails on a file that drifts.
format format-check:
	@bash scripts/install-deps.sh format
	@git ls-files -z '*.cpp' '*.h' '*.c' | \
	  xargs -0 clang-format $(if $(filter format,$@),-i,--dry-run -Werror)

install: programs
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# Removes what the last `make install` wrote (the same PREFIX and DESTDIR).
uninstall:
	@DESTDIR="$(DESTDIR)" cmake -DKORVELT_STEP=uninstall -DKORVELT_MANIFEST="$(BUILD)/install_manifest.txt" \
	  -DKORVELT_PREFIX="$(PREFIX)" -P desktop/InstallSteps.cmake

bench: build
	@bash bench/run.sh $(BUILD)

fuzz:
	@bash scripts/install-deps.sh fuzz
	@cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVELT_FUZZ=ON -DKORVELT_GUI=OFF -DBUILD_TESTING=OFF \
	  -DKORVELT_WERROR=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf $(BUILD) build-fuzz build-sanitize build-tsan
