"""Takes the README's picture of an edited photo: the real window under Xvfb, a project of the
sample pictures opened from the command line, a rectangle dragged in the preview and エフェクト(&E)
→ モザイク処理 chosen from the menu; then the main window and the preview, side by side.

    effect_screenshot.py --pictora PATH --pictures DIR --out PNG
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
# The window driver of the end-to-end checks.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xsession import Desktop, Display  # noqa: E402

PREVIEW = "プレビュー画面 (右クリックでプレビュー画面サイズ変更)"


def grab(desktop, wid, path):
    subprocess.run(["import", "-window", wid, path], env=desktop.env, check=True, capture_output=True)
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def settled(desktop, wid, path):
    """A grab of the window when two in a row are alike and show more than a plain background."""
    first = grab(desktop, wid, path)
    time.sleep(0.3)
    if grab(desktop, wid, path) != first:
        return None
    spread = float(subprocess.run(["vips", "deviate", path], check=True, capture_output=True, text=True).stdout)
    return first if spread > 10 else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pictora", required=True)
    ap.add_argument("--pictures", required=True, help="a folder of pictures; the first by name is edited")
    ap.add_argument("--out", required=True)
    args = ap.parse_args()

    with tempfile.TemporaryDirectory(prefix="pictora-shot-") as work, Display("1600x900x24") as display:
        pxa = os.path.join(work, "shot.pxa")
        subprocess.run([args.pictora, "--new", pxa, os.path.abspath(args.pictures), "--title", "夏の旅行"],
                       check=True, capture_output=True)
        # Kept when a step fails, so that its screenshot can be looked at.
        shots = tempfile.mkdtemp(prefix="pictora-shot-screens-")
        desktop = Desktop(display, os.path.abspath(args.pictora), os.path.join(work, "home"), shots)
        try:
            main_window = desktop.start(pxa)
            preview = desktop.wait_for_window(PREVIEW, "the preview window")
            # No window manager places windows: the preview goes right of the main window.
            x, y, width, _ = desktop.geometry(main_window)
            desktop.xdotool("windowmove", "--sync", preview, x + width + 8, y)
            plain = desktop.wait(lambda: settled(desktop, preview, os.path.join(shots, "plain.png")),
                                 "the preview to show the picture")
            # The rectangle goes over the middle of the shown picture.
            desktop.drag(preview, (230, 150), (420, 330))
            desktop.menu("e", "Down", "Down", "Return", what="モザイク処理")
            desktop.wait(lambda: settled(desktop, preview, os.path.join(shots, "edited.png")) not in (None, plain),
                         "the preview to show the mosaic", timeout=60)
            grab(desktop, main_window, os.path.join(shots, "main.png"))
            grab(desktop, preview, os.path.join(shots, "preview.png"))
            subprocess.run(["vips", "arrayjoin", f"{shots}/main.png {shots}/preview.png", args.out,
                            "--shim", "8", "--background", "240"], check=True)
            desktop.menu("p", "z", what="終了(&Z)")
            desktop.answer("確認", "n", "作成中のプロジェクトを保存しますか!?")
            desktop.wait_exit("closing")
            shutil.rmtree(shots)
        finally:
            desktop.stop()
    print(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
