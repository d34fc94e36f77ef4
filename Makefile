# The two commands users need: `make run` and `make test`.
BUILD ?= build
WIN_BUILD ?= build-win
MINGW_CXX ?= x86_64-w64-mingw32-g++-posix
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
VST_DIR ?= $(HOME)/.vst
VST3_DIR ?= $(HOME)/.vst3
LV2_DIR ?= $(HOME)/.lv2
BIN_DIR ?= $(HOME)/.local/bin
APPS_DIR ?= $(HOME)/.local/share/applications
# Extra CMake settings, e.g. CMAKE_FLAGS=-DZVX_WERROR=ON as CI builds.
CMAKE_FLAGS ?=
# What `make run` installs, and only that: the VST module, the VST3 and LV2 bundles, the
# default data (samples, bank, skin) and zvx-render with zvx-data.
RUN_TARGETS = ZVX ZVX_vst3 ZVX_lv2 ZVX_lv2_ui zvx zvx-render zvx-data zvx_samples zvx_default_bank zvx_default_skin

.PHONY: run test deps configure build build-all install bench picture clean windows windows-if-tools

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DZVX_WINDOWS_BUILD=$(abspath $(WIN_BUILD)) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS) --target $(RUN_TARGETS)

# Everything: the tools, the test suite and the benchmarks too.
build-all: configure
	cmake --build $(BUILD) -j$(JOBS)

# Installs the plug-in where Linux hosts look for VST 2.4 modules, VST3 and
# LV2 bundles, and the standalone instrument where the user's programs go.
install: build
	mkdir -p "$(VST_DIR)"
	cp $(BUILD)/ZVX.so "$(VST_DIR)/ZVX.so"
	@echo "Installed $(VST_DIR)/ZVX.so"
	mkdir -p "$(VST3_DIR)"
	rm -rf "$(VST3_DIR)/ZVX.vst3" && cp -r $(BUILD)/ZVX.vst3 "$(VST3_DIR)/ZVX.vst3"
	@echo "Installed $(VST3_DIR)/ZVX.vst3"
	mkdir -p "$(LV2_DIR)"
	rm -rf "$(LV2_DIR)/ZVX.lv2" && cp -r $(BUILD)/lv2/ZVX.lv2 "$(LV2_DIR)/ZVX.lv2"
	@echo "Installed $(LV2_DIR)/ZVX.lv2"
	mkdir -p "$(BIN_DIR)"
	cp $(BUILD)/standalone/zvx "$(BIN_DIR)/zvx"
	@echo "Installed $(BIN_DIR)/zvx"
	mkdir -p "$(APPS_DIR)"
	cp standalone/zvx.desktop "$(APPS_DIR)/zvx.desktop"
	@echo "Installed $(APPS_DIR)/zvx.desktop"
	@printf "Data folder: " && $(BUILD)/tools/zvx-data install "$(CURDIR)/data"

# Ends with the demo groove rendered through the installed plug-in, program 0
# of the default bank.
run: install
	$(BUILD)/tools/zvx-render --quiet --plugin "$(VST_DIR)/ZVX.so" --program 0 -o "$(CURDIR)/demo.wav"

test: build-all windows-if-tools
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# ZVX.dll, zvx-render.exe and the Windows tests, cross-built with mingw-w64;
# the wine_tests of `make test` run them under wine.
windows:
	@command -v $(MINGW_CXX) >/dev/null || { echo "make windows needs $(MINGW_CXX) (Debian: g++-mingw-w64-x86-64-posix)" >&2; exit 1; }
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WIN_BUILD) -j$(JOBS)

# `make test` builds the Windows tree only where its tests can run.
windows-if-tools:
	@if command -v $(MINGW_CXX) >/dev/null && command -v wine >/dev/null; then \
	  $(MAKE) --no-print-directory windows; \
	else \
	  echo "note: $(MINGW_CXX) or wine is not installed: the Windows build and its wine tests are skipped"; \
	fi

# The README's picture of the editor, drawn headless from a fresh default data
# folder; editor_tests compares the editor with it.
# The reviewed pictures of the editor, at 100 % and at 200 %.
picture: build-all
	docs=$$(mktemp -d) && folder=$$(ZVX_DOCUMENTS=$$docs $(BUILD)/tools/zvx-data install $(BUILD)/data | head -n1) && \
	  ZVX_DOCUMENTS=$$docs $(BUILD)/tools/zvx-view --headless --plugin $(BUILD)/ZVX.so --screenshot docs/editor.png && \
	  printf '200\n' > "$$folder/editor scale.txt" && \
	  ZVX_DOCUMENTS=$$docs $(BUILD)/tools/zvx-view --headless --plugin $(BUILD)/ZVX.so --screenshot docs/editor@2x.png; \
	  status=$$?; rm -rf $$docs; exit $$status

bench: build-all
	$(BUILD)/bench/zvx_bench

clean:
	rm -rf $(BUILD) $(WIN_BUILD)
