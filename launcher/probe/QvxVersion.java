// Runs inside every Java VM the launcher finds and answers whether that VM meets
// the requirement string: YES and status 314, or NO and status 159.
//
// VMs of the 1.0 generation must load and verify this class, so it is compiled to
// format 45.3 and calls nothing their class library lacks: only String's indexOf,
// substring, length, startsWith and equals, System.getProperty with a default,
// Class.forName, System.out.println and System.exit. No string concatenation
// either, since that would bring in StringBuffer calls. tests/probe checks the
// compiled class against that list.
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
                continue;
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

    public static void bail(boolean qualified) {
        if (qualified) {
            System.out.println("YES");
            System.exit(314);
        } else {
            System.out.println("NO");
            System.exit(159);
        }
    }
}
