# The two commands users need: `make run` and `make test`.
BUILD ?= build
WIN_BUILD ?= build-win
MINGW_CXX ?= x86_64-w64-mingw32-g++-posix
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Per user: where Reaper, Bitwig and Qtractor look for VST 2.4 modules, where
# LV2 hosts look for bundles, and the XDG user folders.
VST_DIR ?= $(HOME)/.vst
VST3_DIR ?= $(HOME)/.vst3
LV2_DIR ?= $(HOME)/.lv2
BIN_DIR ?= $(HOME)/.local/bin
SHARE_DIR ?= $(HOME)/.local/share
APPS_DIR ?= $(SHARE_DIR)/applications
# Ardour looks only in system folders (its default LXVST path holds no
# folder of the user's); this one is on it, and on the others' too.
SYSTEM_VST_DIR ?= /usr/local/lib/vst
# make install-system: for every user of the computer, as a package would.
PREFIX ?= /usr/local
# Extra CMake settings, e.g. CMAKE_FLAGS=-DZVX_WERROR=ON as CI builds.
CMAKE_FLAGS ?=
# What `make run` builds: the VST module, the VST3 and LV2 bundles, zvx, the
# default data (samples, bank, skin) and icon, and the tools the README describes.
TOOL_TARGETS = zvx-render zvx-data zvx-view zvx-skin-check zvx-validate
RUN_TARGETS = ZVX ZVX_vst3 ZVX_lv2 ZVX_lv2_ui zvx zvx_samples zvx_default_bank zvx_default_skin zvx_icons $(TOOL_TARGETS)

.PHONY: run test deps configure build build-all tools install install-system bench picture clean windows windows-if-tools

deps:
	@tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DZVX_WINDOWS_BUILD=$(abspath $(WIN_BUILD)) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS) --target $(RUN_TARGETS)

# Everything: the tools, the test suite and the benchmarks too.
build-all: configure
	cmake --build $(BUILD) -j$(JOBS)

# Just the command-line tools: zvx-render, zvx-data, zvx-view, zvx-skin-check, zvx-validate.
tools: configure
	cmake --build $(BUILD) -j$(JOBS) --target $(TOOL_TARGETS)

# Installs for this user: the VST module where Linux hosts look for VST 2.4
# modules, the VST3 and LV2 bundles, and zvx with its desktop entry, icon,
# AppStream metadata and man page where the user's programs go.
install: build
	mkdir -p "$(VST_DIR)"
	cp $(BUILD)/ZVX.so "$(VST_DIR)/ZVX.so"
	@echo "Installed $(VST_DIR)/ZVX.so"
	@if [ -w "$(SYSTEM_VST_DIR)" ] || { [ ! -e "$(SYSTEM_VST_DIR)" ] && mkdir "$(SYSTEM_VST_DIR)" 2>/dev/null; }; then \
	  ln -sfn "$(VST_DIR)/ZVX.so" "$(SYSTEM_VST_DIR)/ZVX.so" && echo "Linked $(SYSTEM_VST_DIR)/ZVX.so to it, for Ardour"; \
	else \
	  echo "note: Ardour looks for VST 2.4 plug-ins only in system folders such as $(SYSTEM_VST_DIR)."; \
	  echo "      For Ardour, start it with LXVST_PATH=$(VST_DIR), add $(VST_DIR) in its"; \
	  echo "      Preferences > Plugins > VST, or install for every user: sudo make install-system"; \
	fi
	mkdir -p "$(VST3_DIR)"
	rm -rf "$(VST3_DIR)/ZVX.vst3" && cp -r $(BUILD)/ZVX.vst3 "$(VST3_DIR)/ZVX.vst3"
	@echo "Installed $(VST3_DIR)/ZVX.vst3"
	mkdir -p "$(LV2_DIR)"
	rm -rf "$(LV2_DIR)/ZVX.lv2" && cp -r $(BUILD)/lv2/ZVX.lv2 "$(LV2_DIR)/ZVX.lv2"
	@echo "Installed $(LV2_DIR)/ZVX.lv2"
	mkdir -p "$(BIN_DIR)"
	cp $(BUILD)/standalone/zvx "$(BIN_DIR)/zvx"
	@echo "Installed $(BIN_DIR)/zvx"
	@case ":$$PATH:" in *":$(BIN_DIR):"*|*":$(BIN_DIR)/:"*) ;; *) \
	  echo "note: $(BIN_DIR) is not on your PATH, so the shell does not find zvx by its name."; \
	  echo "      Run it as $(BIN_DIR)/zvx, or log in again (Debian's ~/.profile adds the folder"; \
	  echo "      once it exists), or add  export PATH=\"$(BIN_DIR):\$$PATH\"  to ~/.profile." ;; \
	esac
	mkdir -p "$(APPS_DIR)" "$(SHARE_DIR)/icons/hicolor/scalable/apps" "$(SHARE_DIR)/icons/hicolor/256x256/apps" \
	  "$(SHARE_DIR)/metainfo" "$(SHARE_DIR)/man/man1"
	cp standalone/zvx.desktop "$(APPS_DIR)/zvx.desktop"
	cp $(BUILD)/icons/zvx.svg "$(SHARE_DIR)/icons/hicolor/scalable/apps/zvx.svg"
	cp $(BUILD)/icons/zvx.png "$(SHARE_DIR)/icons/hicolor/256x256/apps/zvx.png"
	cp $(BUILD)/metainfo/audio.zvx.zvx.metainfo.xml "$(SHARE_DIR)/metainfo/audio.zvx.zvx.metainfo.xml"
	cp $(BUILD)/man/zvx.1 "$(SHARE_DIR)/man/man1/zvx.1"
	@echo "Installed $(APPS_DIR)/zvx.desktop, its icon, metadata and man page"
	@printf "Data folder: " && $(BUILD)/tools/zvx-data install "$(CURDIR)/data"

# For every user of the computer, as a package installs it (run as root):
# PREFIX/lib/vst, PREFIX/lib/lv2, PREFIX/bin, and the default data in
# PREFIX/share/zvx, which fills each user's data folder at its first use.
install-system: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

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
