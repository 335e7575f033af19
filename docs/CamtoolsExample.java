// How a Java application runs camprobe: count the cameras, then save a frame of camera 0
// without showing anything. Every line and status camprobe gives for these two is
// handled, its lines are read in the code page it prints in, and nothing waits for ever.
//
//     javac CamtoolsExample.java
//     java CamtoolsExample <camprobe.exe> <folder> <picture name>
//
// It prints what it learnt, one line each: "cameras: N", then "saved NAME", "no camera to
// save a frame of", "camera 0 gave no picture", "cannot write NAME", or why camprobe's
// answer was not one of those. Status 0 when the frame was saved, 1 otherwise.

import java.io.BufferedReader;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.Charset;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;

public final class CamtoolsExample {

    // camprobe prints in the ANSI code page (932 on Japanese Windows), as the console
    // shows it. Java 18 and later read a process's output as UTF-8 unless told otherwise,
    // which garbles any name outside ASCII; native.encoding names the ANSI code page.
    private static final Charset PRINTED = Charset.forName(System.getProperty("native.encoding"));

    // A count takes well under a second per camera; a save waits for the camera's first
    // picture, up to about 10 s when a camera opens but sends none.
    private static final long LIMIT_SECONDS = 30;

    /** What camprobe printed and how it ended; status -1 when it was stopped at the limit. */
    record Answer(List<String> lines, int status, boolean inTime) {}

    static Answer run(Path folder, String... command) throws IOException, InterruptedException {
        // The working folder is where a relative picture name is written.
        Process camprobe = new ProcessBuilder(command)
                .directory(folder.toFile())
                .redirectError(ProcessBuilder.Redirect.DISCARD) // camprobe prints nothing there
                .start();
        camprobe.getOutputStream().close(); // it reads nothing
        // Only the count line is flushed as it is printed; every other line comes when
        // camprobe ends, and one that is killed may print nothing. So the lines are read to
        // the end on a thread of their own while this one waits, with a limit, for the end.
        List<String> lines = new ArrayList<>();
        Thread reader = new Thread(() -> {
            try (BufferedReader out = camprobe.inputReader(PRINTED)) {
                for (String line; (line = out.readLine()) != null; ) {
                    synchronized (lines) {
                        lines.add(line);
                    }
                }
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        });
        reader.start();
        boolean inTime = camprobe.waitFor(LIMIT_SECONDS, TimeUnit.SECONDS);
        if (!inTime) {
            camprobe.destroyForcibly().waitFor();
        }
        reader.join(); // the pipe ends with the process
        synchronized (lines) {
            return new Answer(List.copyOf(lines), inTime ? camprobe.exitValue() : -1, inTime);
        }
    }

    /** Why an answer is not one camprobe gives, or null when it is. */
    static String unexpected(String what, Answer answer) {
        if (!answer.inTime()) {
            return what + " did not end within " + LIMIT_SECONDS + " s";
        }
        if (answer.status() != 0) { // camprobe returns 0 on every path it takes itself
            return what + " ended with status " + answer.status();
        }
        return null;
    }

    /** The number of cameras, or -1 after saying why there is none. */
    static int countCameras(String camprobe, Path folder) throws IOException, InterruptedException {
        Answer answer = run(folder, camprobe, "-n");
        String why = unexpected("camprobe -n", answer);
        if (why == null && answer.lines().size() == 1 && answer.lines().get(0).startsWith("nCam = ")) {
            return Integer.parseInt(answer.lines().get(0).substring("nCam = ".length()));
        }
        System.out.println(why != null ? why : "camprobe -n answered " + answer.lines());
        return -1;
    }

    /** Saves a frame of camera 0 to `name`, in `folder`; true when it was written. */
    static boolean saveFrame(String camprobe, Path folder, String name)
            throws IOException, InterruptedException {
        Answer answer = run(folder, camprobe, "-c", "0", "-f", name);
        String why = unexpected("camprobe -f", answer);
        if (why != null) {
            System.out.println(why);
            return false;
        }
        List<String> lines = answer.lines();
        if (lines.isEmpty()) { // nothing printed: the frame was written
            System.out.println("saved " + name);
            return true;
        }
        String line = lines.get(0);
        if (lines.size() == 1 && line.equals("error cn=0")) {
            // The camera did not open (in use, unplugged) or sent no picture.
            System.out.println("camera 0 gave no picture");
        } else if (lines.size() == 1 && line.startsWith("error file=")) {
            // Not a name of a picture format, or not writable (no such folder, no room).
            System.out.println("cannot write " + line.substring("error file=".length()));
        } else {
            System.out.println("camprobe -f answered " + lines);
        }
        return false;
    }

    public static void main(String[] args) throws IOException, InterruptedException {
        if (args.length != 3) {
            System.out.println("usage: java CamtoolsExample <camprobe.exe> <folder> <picture name>");
            System.exit(2);
        }
        String camprobe = args[0];
        Path folder = Path.of(args[1]);
        int cameras = countCameras(camprobe, folder);
        if (cameras < 0) {
            System.exit(1);
        }
        System.out.println("cameras: " + cameras);
        if (cameras == 0) {
            System.out.println("no camera to save a frame of");
            System.exit(1);
        }
        System.exit(saveFrame(camprobe, folder, args[2]) ? 0 : 1);
    }
}
