// Loaded with -javaagent so that a test can give the probe a java.vendor of its
// choice, or take a property away: JDK 17 ignores -Djava.vendor, and -D can only set.
// The option is NAME=VALUE to set a property, or NAME alone to remove it.
public class PropertyAgent {
    public static void premain(String option) {
        if (option == null) {
            return;
        }
        int equals = option.indexOf('=');
        if (equals < 0) {
            System.getProperties().remove(option);
        } else {
            System.setProperty(option.substring(0, equals), option.substring(equals + 1));
        }
    }
}
