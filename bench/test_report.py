"""The report's arithmetic, run by bench/run.sh before it measures anything:
a wrong percentile or a goal tested the wrong way round would print a table
that looks right and says the wrong thing."""
import os
import tempfile
import unittest

from bench import report


def write(directory, name, lines):
    with open(os.path.join(directory, name), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


class Statistics(unittest.TestCase):
    def test_median_and_nearest_rank_percentile(self):
        self.assertEqual(report.median([5, 1, 3]), 3)
        self.assertEqual(report.median([4, 1, 3, 2]), 2.5)
        self.assertIsNone(report.median([]))
        # Nearest rank: of twenty values the 95th percentile is the 19th
        # smallest, of a hundred the 95th, of one value that value.
        self.assertEqual(report.percentile(list(range(20, 0, -1)), 0.95), 19)
        self.assertEqual(report.percentile(list(range(1, 101)), 0.95), 95)
        self.assertEqual(report.percentile(list(range(1, 11)), 0.95), 10)
        self.assertEqual(report.percentile([7.5], 0.95), 7.5)
        self.assertIsNone(report.percentile([], 0.95))

    def test_intervals_and_core_share(self):
        self.assertEqual(report.intervals([10, 80, 150, 230]), [70, 70, 80])
        self.assertEqual(report.intervals([10]), [])
        # 20 ticks of 1/100 s in 10 s are 2 % of one core.
        self.assertAlmostEqual(report.core_percent(20, 10.0, 100), 2.0)

    def test_values_file_keeps_series_and_skips_other_lines(self):
        with tempfile.TemporaryDirectory() as directory:
            write(directory, "v.txt", ["a 1", "a 2.5", "b x", "junk", "c 1 2", "b 3"])
            self.assertEqual(report.read_values(os.path.join(directory, "v.txt")),
                             {"a": [1.0, 2.5], "b": [3.0]})
            self.assertEqual(report.read_values(os.path.join(directory, "none.txt")), {})


class Figures(unittest.TestCase):
    def test_flame_goals_at_their_edges(self):
        times = [0.0]
        for gap in [68] * 19 + [71]:
            times.append(times[-1] + gap)
        median, p95 = report.flame_rows({"flame_advance_ms": times})
        self.assertEqual((median.value, median.met), (68, True))
        self.assertEqual((p95.value, p95.met), (68, True))
        self.assertEqual(median.runs, "20 intervals")
        self.assertAlmostEqual(median.ratio(), 68 / 67)

        times = [0.0]
        for gap in [68.5] * 18 + [71, 71]:
            times.append(times[-1] + gap)
        median, p95 = report.flame_rows({"flame_advance_ms": times})
        self.assertFalse(median.met)
        self.assertEqual((p95.value, p95.met), (71, False))

        faster = report.flame_rows({"flame_advance_ms": [0, 66, 132]})[0]
        self.assertFalse(faster.met, "faster than the ideal is not on time either")

    def test_idle_sums_each_run_before_the_median(self):
        idle = {
            "cpu_time_per_s": [100],
            # Run one is busy in the process, run two in the server: the
            # sums are 3 % and 1.5 %, so their median is 2.25 %.
            "launcher_proc_ticks": [25, 5], "launcher_server_ticks": [5, 10],
            "launcher_seconds": [10.0, 10.0],
            "spin_proc_ticks": [600], "spin_server_ticks": [400], "spin_seconds": [10.0],
            "floor_proc_ticks": [4], "floor_server_ticks": [3], "floor_seconds": [10.0],
        }
        process, server, total, floor = report.idle_rows(idle)
        self.assertAlmostEqual(process.value, 1.5)
        self.assertAlmostEqual(server.value, 0.75)
        self.assertAlmostEqual(total.value, 2.25)
        self.assertAlmostEqual(total.baseline, 100.0)
        self.assertFalse(total.met)
        self.assertEqual(total.runs, "2 x 10 s / 1 x 10 s")
        self.assertAlmostEqual(floor.baseline, 0.7)
        self.assertFalse(floor.met)

        idle["launcher_proc_ticks"] = [5, 5]
        idle["launcher_server_ticks"] = [5, 5]
        self.assertTrue(report.idle_rows(idle)[2].met, "1 % itself meets the goal")
        self.assertTrue(report.idle_rows(idle)[3].met, "1 % is 1.43 x the floor")

    def test_startup_and_paint_ratios(self):
        row = report.startup_row({"picture_ms_0": [120, 100, 110], "picture_ms_1": [100, 90, 95]})
        self.assertAlmostEqual(row.ratio(), 110 / 95)
        self.assertTrue(row.met)
        self.assertTrue(report.startup_row({"picture_ms_0": [120], "picture_ms_1": [100]}).met)
        row = report.startup_row({"picture_ms_0": [121], "picture_ms_1": [100]})
        self.assertFalse(row.met)
        self.assertEqual(row.runs, "1 + 1")

        repaint, hover = report.paint_rows({
            "repaint_us": [130, 130], "repaint_raw_us": [100, 100],
            "hover_us": [50], "hover_raw_us": [10]})
        self.assertTrue(repaint.met)
        self.assertFalse(hover.met)
        self.assertAlmostEqual(hover.ratio(), 5.0)

    def test_memory_share_leaves_out_wine_but_not_the_images(self):
        idle = {"launcher_vmhwm_kb": [30 * 1024, 31 * 1024], "bare_vmhwm_kb": [25 * 1024],
                "bare_image_bytes": [1 * report.MIB], "image_bytes": [2 * report.MIB]}
        # Wine's own is 25 - 1 = 24 MiB; the launcher's share 30.5 - 24.
        row = report.memory_row(idle)
        self.assertAlmostEqual(row.value, 6.5)
        self.assertAlmostEqual(row.baseline, 2.0)
        self.assertFalse(row.met)
        idle["launcher_vmhwm_kb"] = [30 * 1024]
        self.assertTrue(report.memory_row(idle).met, "images + 4 MiB itself meets the goal")
        self.assertIsNone(report.memory_row({"image_bytes": [1]}).value)


    def test_bmpset_goal_is_on_its_own_time_and_the_baseline_is_the_ratio(self):
        row = report.bmpset_row({"bmpset_ms": [900, 2100, 1000], "remap_ms": [6000, 7000]})
        self.assertEqual(row.value, 1000)
        self.assertEqual(row.baseline, 6500)
        self.assertAlmostEqual(row.ratio(), 1000 / 6500)
        self.assertTrue(row.met)
        self.assertEqual(row.runs, "3 / 2")
        self.assertTrue(report.bmpset_row({"bmpset_ms": [2000]}).met, "2 s itself meets the goal")
        self.assertFalse(report.bmpset_row({"bmpset_ms": [2001], "remap_ms": [9000]}).met,
                         "a faster baseline is not the goal")
        self.assertIsNone(report.bmpset_row({}).met)


class Table(unittest.TestCase):
    def test_one_line_per_figure_with_missing_data_shown(self):
        rows = [report.Row("a figure", 2.5, 1.0, "ms", "<= 2 x", False, "3"),
                report.Row("another", None, None, "us", "-", None, "0")]
        lines = report.format_table(rows).splitlines()
        self.assertEqual(len(lines), 4)
        self.assertEqual(lines[0].split(), ["figure", "value", "baseline", "ratio", "goal",
                                            "met?", "runs"])
        self.assertIn("2.50 ms", lines[2])
        self.assertIn("2.500", lines[2])
        self.assertIn("NO", lines[2])
        self.assertEqual(lines[3].split()[1:5], ["n/a", "n/a", "n/a", "-"])

    def test_a_run_that_measured_nothing_still_reports(self):
        with tempfile.TemporaryDirectory() as directory:
            rows = report.build_rows(directory)
            self.assertEqual(len(rows), 15)
            self.assertTrue(all(row.value is None and row.met is None for row in rows))
            self.assertEqual(report.notes(directory), [])

    def test_paint_models_add_up_the_calls(self):
        steps = {"getdc_releasedc": 10, "getfocus": 20, "realize_palette": 30,
                 "beginpaint_endpaint": 40, "drawdib_button": 6, "setdibits_button": 4,
                 "sendmessage": 1, "updatewindow": 50}
        self.assertEqual(report.hover_model(steps, False), 1 + 10 + 20 + 60 + 40 + 12)
        self.assertEqual(report.hover_model(steps, True), 1 + 10 + 20 + 50 + 60 + 40 + 12)
        self.assertEqual(report.repaint_model(steps, 300), 20 + 30 + 80 + 300 + 22)
        self.assertIsNone(report.repaint_model(steps, None))


class CdDrive(unittest.TestCase):
    def test_only_jumps_cost_more_than_the_sequential_read(self):
        from bench import cdread
        sweep = cdread.model([(100, 10), (110, 5), (115, 1)])
        self.assertEqual((sweep["jumps"], sweep["skipped_bytes"]), (0, 0))
        self.assertAlmostEqual(sweep["model_ms"], sweep["sequential_ms"])
        self.assertAlmostEqual(sweep["sequential_ms"], 16 * 2048 / 3686400 * 1000)
        # Back to the start: a seek over 20 blocks and half a turn.
        back = cdread.model([(100, 10), (110, 10), (100, 1)])
        self.assertEqual((back["jumps"], back["backward"], back["skipped_bytes"]), (1, 1, 40960))
        self.assertAlmostEqual(back["model_ms"] - back["sequential_ms"],
                               (0.015 + 0.135 * (20 / 333000) ** 0.5 + 30 / 5100) * 1000)
        # A short gap forward is read through, a long one sought.
        gap = cdread.model([(100, 10), (112, 1)])
        self.assertAlmostEqual(gap["model_ms"] - gap["sequential_ms"], 2 * 2048 / 3686400 * 1000)
        far = cdread.model([(100, 10), (100000, 1)])
        self.assertAlmostEqual(far["model_ms"] - far["sequential_ms"],
                               (0.015 + 0.135 * (99890 / 333000) ** 0.5 + 30 / 5100) * 1000)


if __name__ == "__main__":
    unittest.main()
