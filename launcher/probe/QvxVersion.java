// Runs inside every Java VM the launcher finds and answers whether that VM meets
// the requirement string: YES and status 314, or NO and status 159, each
// followed by a line with the VM's java.version.
//
// VMs of the 1.0 generation must load and verify this class, so it is compiled to
// format 45.3 and calls nothing their class library lacks: only String's indexOf,
// substring, length, startsWith and equals, System.getProperty with a default,
// Class.forName, System.out.println and System.exit. No string concatenation
// either, since that would bring in StringBuffer calls. tests/probe checks the
// compiled class against that list.
//
// launcher/vm/Requirement.cpp reads an alternative as this class does, so that
// radad-pack refuses what no VM could meet and the no-VM dialog can say what is
// asked for: a change of the forms here is a change there.
public class QvxVersion {
    public QvxVersion() {
        super();
    }

    public static void main(String[] args) {
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            int firstColon = arg.indexOf(':');
            if (firstColon < 0) {
                continue;
            }
            int secondColon = arg.indexOf(':', firstColon + 1);
            // An alternative without its three fields is skipped like one that does
            // not match, so a well-formed alternative after it still gets its turn.
            if (secondColon < 0) {
                continue;
            }
            String version = arg.substring(0, firstColon);
            String vendor = arg.substring(firstColon + 1, secondColon);
            String os = arg.substring(secondColon + 1, arg.length());

            if (version.startsWith("1.1")) {
                // Named only as a text: a VM without the 1.1 event model must still
                // be able to load this class and answer NO.
                try {
                    Class.forName("java.awt.event.ActionEvent");
                } catch (Throwable notThere) {
                    continue;
                }
            } else if (!version.startsWith("1.0") && !version.startsWith("A")) {
                // Today's forms, against the VM's platform version: N+ for N
                // or later, N-M for N to M, and 1.N+, the old spelling of N+ up to
                // 1.8. The 1.0 and 1.1 generations have no such property, so they
                // meet none of these.
                int end = version.indexOf('-');
                int high = 9999;
                int highestLow = 9999;
                String from;
                if (end >= 0) {
                    high = number(version.substring(end + 1, version.length()));
                    from = version.substring(0, end);
                } else {
                    end = version.indexOf('+');
                    if (end < 0 || end != version.length() - 1) {
                        continue;
                    }
                    from = version.substring(0, end);
                    if (from.startsWith("1.")) {
                        from = from.substring(2, end);
                        highestLow = 8;
                    }
                }
                int low = number(from);
                String platform = System.getProperty("java.specification.version", "");
                if (platform.startsWith("1.")) {
                    platform = platform.substring(2, platform.length());
                }
                int vm = number(platform);
                if (low < 0 || low > highestLow || vm < low || vm > high) {
                    continue;
                }
            }

            if (!vendor.equals("A") && !System.getProperty("java.vendor", "").startsWith(vendor)) {
                continue;
            }
            if (!os.equals("A") && !System.getProperty("os.name", "").startsWith(os)) {
                continue;
            }
            bail(true);
        }
        bail(false);
    }

    // One to four decimal digits; -1 for any other text.
    private static int number(String text) {
        int length = text.length();
        int value = 0;
        for (int i = 0; i < length; i++) {
            // A digit's place among the digits: charAt would do, but this keeps to
            // the String calls listed above.
            int digit = "0123456789".indexOf(text.substring(i, i + 1));
            if (digit < 0) {
                return -1;
            }
            value = value * 10 + digit;
        }
        return length < 1 || length > 4 ? -1 : value;
    }

    // The answer, then the VM's version, which the launcher shows for a VM that
    // does not qualify; the exit status is the answer the launcher goes by.
    public static void bail(boolean qualified) {
        System.out.println(qualified ? "YES" : "NO");
        System.out.println(System.getProperty("java.version", ""));
        System.exit(qualified ? 314 : 159);
    }
}
